#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include "template/KOVA_Template.h"

// Loads bytes the way a template file reaches the template loader and checks what is
// promised of the result: its copy equals it, and once saved and read back it saves
// and reads back unchanged. Shared by the fuzzer and the test that replays the inputs
// the fuzzer once broke, so both take the same path.
class TemplateLoadingCheck {
public:
    // Lays out `folder`, which must exist: a job container holding one node file that
    // inputs may name ("node.xml"), and a folder that saves go to.
    explicit TemplateLoadingCheck(const QString& folder);

    // False when the folder could not be laid out.
    bool isReady() const { return m_ready; }

    // An empty text when everything held, else what did not (the first failure).
    QString faultFor(const QByteArray& bytes) const;

private:
    KOVA_Template::Pointer templateFromBytes(const QByteArray& bytes) const;
    QString roundTripFault(KOVA_Template& loaded) const;

    QUrl m_jobContainer;
    QUrl m_savedFile;
    bool m_ready = false;
};
