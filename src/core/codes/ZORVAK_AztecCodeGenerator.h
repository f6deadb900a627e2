#pragma once

#include "core/codes/ZORVAK_2dCodeGenerator.h"

// Aztec codes of ISO Latin 1 messages.
class ZORVAK_AztecCodeGenerator : public ZORVAK_2dCodeGenerator {
public:
    ZORVAK_AztecCodeGenerator();
    static std::unique_ptr<ZORVAK_2dCodeGenerator> make();

    // The type stays 0 whatever is set.
    void setType(int type) override;

    // Error correction in percent, 5 to 95; any other value clears the options
    // (the generator's default level).
    void setCorrectionLevel(const std::optional<double>& correctionLevel);
    std::optional<double> correctionLevel() const;
};
