#pragma once

#include "core/codes/ZORVAK_2dCodeGenerator.h"

// Code 128 bar codes of ASCII messages.
class ZORVAK_Code128Generator : public ZORVAK_2dCodeGenerator {
public:
    ZORVAK_Code128Generator();
    static std::unique_ptr<ZORVAK_2dCodeGenerator> make();

    // The type stays 2 whatever is set.
    void setType(int type) override;

    // White space in modules at each end, 0 to 20; any other value clears the
    // options (the default of 10 modules).
    void setQuietSpace(const std::optional<double>& quietSpace);
    std::optional<double> quietSpace() const;
};
