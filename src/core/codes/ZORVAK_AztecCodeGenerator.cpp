#include "core/codes/ZORVAK_AztecCodeGenerator.h"

namespace {
constexpr int ownType = 0;
}

ZORVAK_AztecCodeGenerator::ZORVAK_AztecCodeGenerator()
    : ZORVAK_2dCodeGenerator(ownType)
{
}

std::unique_ptr<ZORVAK_2dCodeGenerator> ZORVAK_AztecCodeGenerator::make()
{
    return std::make_unique<ZORVAK_AztecCodeGenerator>();
}

void ZORVAK_AztecCodeGenerator::setType(int)
{
    ZORVAK_2dCodeGenerator::setType(ownType);
}

void ZORVAK_AztecCodeGenerator::setCorrectionLevel(const std::optional<double>& correctionLevel)
{
    setNumberOption(correctionLevelOption, correctionLevel, aztecCorrectionRange);
}

std::optional<double> ZORVAK_AztecCodeGenerator::correctionLevel() const
{
    return numberOption(correctionLevelOption);
}
