#include "core/codes/ZORVAK_Code128Generator.h"

namespace {
constexpr int ownType = 2;
}

ZORVAK_Code128Generator::ZORVAK_Code128Generator()
    : ZORVAK_2dCodeGenerator(ownType)
{
}

std::unique_ptr<ZORVAK_2dCodeGenerator> ZORVAK_Code128Generator::make()
{
    return std::make_unique<ZORVAK_Code128Generator>();
}

void ZORVAK_Code128Generator::setType(int)
{
    ZORVAK_2dCodeGenerator::setType(ownType);
}

void ZORVAK_Code128Generator::setQuietSpace(const std::optional<double>& quietSpace)
{
    setNumberOption(quietSpaceOption, quietSpace, quietSpaceRange);
}

std::optional<double> ZORVAK_Code128Generator::quietSpace() const
{
    return numberOption(quietSpaceOption);
}
