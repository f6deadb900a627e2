#pragma once

#include "core/codes/ZORVAK_2dCodeGenerator.h"

// PDF417 codes of ISO Latin 1 messages.
class ZORVAK_PDF417CodeGenerator : public ZORVAK_2dCodeGenerator {
public:
    ZORVAK_PDF417CodeGenerator();
    static std::unique_ptr<ZORVAK_2dCodeGenerator> make();

    // The type stays 3 whatever is set.
    void setType(int type) override;

    // Error correction level 0 to 8; any other value clears the options (the
    // generator chooses the level for the message's length).
    void setCorrectionLevel(const std::optional<double>& correctionLevel);
    std::optional<double> correctionLevel() const;
};
