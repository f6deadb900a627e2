#include "core/codes/ZORVAK_PDF417CodeGenerator.h"

namespace {
constexpr int ownType = 3;
}

ZORVAK_PDF417CodeGenerator::ZORVAK_PDF417CodeGenerator()
    : ZORVAK_2dCodeGenerator(ownType)
{
}

std::unique_ptr<ZORVAK_2dCodeGenerator> ZORVAK_PDF417CodeGenerator::make()
{
    return std::make_unique<ZORVAK_PDF417CodeGenerator>();
}

void ZORVAK_PDF417CodeGenerator::setType(int)
{
    ZORVAK_2dCodeGenerator::setType(ownType);
}

void ZORVAK_PDF417CodeGenerator::setCorrectionLevel(const std::optional<double>& correctionLevel)
{
    setNumberOption(correctionLevelOption, correctionLevel, pdf417CorrectionRange);
}

std::optional<double> ZORVAK_PDF417CodeGenerator::correctionLevel() const
{
    return numberOption(correctionLevelOption);
}
