#pragma once

#include <QString>

#include <optional>

// How one rendering draws a template, passed to the compositor so that drawing only
// reads the template. In preview mode graphics may use their reduced picture and image
// layers whose file is missing show a placeholder; in unrotated mode no layer is
// turned; the scale multiplies every frame, border width and font size (none means 1).
struct KOVA_RenderOptions {
    bool preview = false;
    bool unrotated = false;
    std::optional<double> scale;

    double scaleFactor() const { return scale.value_or(1.0); }
    // A text that tells apart options drawing different pictures.
    QString description() const;
};
