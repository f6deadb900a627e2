#include "app/preferences/PreferencesPaneSize.h"

#include <gtest/gtest.h>

#include <optional>

namespace {
struct ResizeCase {
    const char* what;
    QRect frame;
    QRect available;
    const char* identifier;
    std::optional<QRect> resized;
};

const QRect screen(0, 0, 1920, 1080);

const ResizeCase resizeCases[] = {
    { "print-to-file at its origin", QRect(100, 100, 600, 366), screen, "prefsPrintToFile", QRect(100, 100, 773, 421) },
    { "folders to templates keeps the top", QRect(200, 150, 700, 426), screen, "prefsTemplates", QRect(200, 150, 600, 341) },
    { "a right edge past the screen moves left onto it", QRect(1500, 40, 600, 366), screen, "prefsFolders",
      QRect(1220, 40, 700, 426) },
    { "a fake screen to the right of another", QRect(2900, 10, 500, 486), QRect(1920, 0, 1280, 1024), "prefsPrintToFile",
      QRect(2427, 10, 773, 421) },
    { "a right edge on the screen's edge stays", QRect(1320, 0, 500, 486), screen, "prefGeneral", QRect(1320, 0, 600, 366) },
    { "a title bar above the screen comes down onto it", QRect(0, -20, 600, 366), QRect(0, 24, 1920, 1056), "prefsInfo",
      QRect(0, 24, 600, 316) },
    { "a bottom edge past the screen moves up", QRect(40, 900, 600, 341), screen, "prefsFolders", QRect(40, 654, 700, 426) },
    { "a frame taller than the screen keeps its top on it", QRect(40, 100, 600, 341), QRect(0, 0, 800, 400),
      "prefsEditableText", QRect(40, 0, 500, 486) },
    { "identifiers ignore case", QRect(0, 0, 700, 426), screen, "PREFSINFO", QRect(0, 0, 600, 316) },
    { "an unknown identifier leaves the window", QRect(0, 0, 700, 426), screen, "prefsCamera", std::nullopt },
    { "an empty frame leaves the window", QRect(0, 0, 0, 426), screen, "prefsInfo", std::nullopt },
    { "no screen clamps nothing", QRect(5000, 0, 100, 100), QRect(), "prefsEditableText", QRect(5000, 0, 500, 486) },
};
} // namespace

TEST(PreferencesPaneSize, ResizesForThePaneKeepingTheTopInsideTheScreen)
{
    for (const ResizeCase& c : resizeCases) {
        const QSize size = PreferencesPaneSize::sizeForIdentifier(QString::fromLatin1(c.identifier)).value_or(QSize());
        EXPECT_EQ(PreferencesPaneSize::resizedFrame(c.frame, c.available, size), c.resized) << c.what;
    }
}
