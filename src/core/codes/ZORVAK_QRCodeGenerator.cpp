#include "core/codes/ZORVAK_QRCodeGenerator.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr int ownType = 1;
// The level letters of correction levels 0 to 3; level 1 has none.
const QString levelLetters[] = {QStringLiteral("L"), QString(), QStringLiteral("H"), QStringLiteral("Q")};
} // namespace

ZORVAK_QRCodeGenerator::ZORVAK_QRCodeGenerator()
    : ZORVAK_2dCodeGenerator(ownType)
{
}

std::unique_ptr<ZORVAK_2dCodeGenerator> ZORVAK_QRCodeGenerator::make()
{
    return std::make_unique<ZORVAK_QRCodeGenerator>();
}

void ZORVAK_QRCodeGenerator::setType(int)
{
    ZORVAK_2dCodeGenerator::setType(ownType);
}

void ZORVAK_QRCodeGenerator::setCorrectionLevel(int correctionLevel)
{
    const bool named = correctionLevel >= 0 && correctionLevel < static_cast<int>(std::size(levelLetters))
        && !levelLetters[correctionLevel].isEmpty();
    setOptions(named ? QVariantMap{{correctionLevelOption, levelLetters[correctionLevel]}} : QVariantMap{});
}

int ZORVAK_QRCodeGenerator::correctionLevel() const
{
    const QString letter = options().value(correctionLevelOption).toString();
    const auto level = std::find(std::begin(levelLetters), std::end(levelLetters), letter);
    return letter.isEmpty() || level == std::end(levelLetters) ? 1 : static_cast<int>(level - std::begin(levelLetters));
}

QImage ZORVAK_QRCodeGenerator::createOutputImage()
{
    setCorrectionLevel(correctionLevel());
    return ZORVAK_2dCodeGenerator::createOutputImage();
}
