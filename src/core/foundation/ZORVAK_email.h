#pragma once

#include <QString>

namespace ZORVAK_email {

// True when the text, in lower case, is as a whole an e-mail address of the
// RFC 5322 form: a dot-atom or quoted local part, then a domain name or an
// address literal in brackets.
bool isValidEmailAddress(const QString& text);

} // namespace ZORVAK_email
