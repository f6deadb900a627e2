#pragma once

#include "core/codes/ZORVAK_2dCodeGenerator.h"

// QR codes of ISO Latin 1 messages.
class ZORVAK_QRCodeGenerator : public ZORVAK_2dCodeGenerator {
public:
    ZORVAK_QRCodeGenerator();
    static std::unique_ptr<ZORVAK_2dCodeGenerator> make();

    // The type stays 1 whatever is set.
    void setType(int type) override;

    // Error correction: 0 level L, 2 level H, 3 level Q; 1 (and any other
    // value) clears the options, leaving the default level M.
    void setCorrectionLevel(int correctionLevel);
    int correctionLevel() const;

    // Keeps the options to the correction level alone before making the code.
    QImage createOutputImage() override;
};
