#pragma once

#include <QString>

// The texts the printer pages show about themselves: their settings, their media and why
// they cannot be printed as they are.
namespace PrintPageTexts {

// The text, or "(null)" when there is none.
QString describedOrNull(const QString& text);
// "<model> <paper>, <quality>, <overcoat>\n( <media> media )"; missing names show as "(null)".
QString settingsDescription(const QString& model, const QString& paper, const QString& quality, const QString& overcoat,
                            const QString& media);
// "( <media> media )".
QString mediaName(const QString& media);
// The reason stored with the page when there is one; otherwise "No <model> with <media> media",
// "printer" standing in for a missing model.
QString reason(const QString& storedReason, const QString& model, const QString& media);

} // namespace PrintPageTexts
