#pragma once

#include <QString>
#include <QTemporaryDir>

// The files of the 4x6 composite the composite benchmarks render, written once
// into a temporary folder: an 1800 x 1200 white canvas; photo A (4000 x 3000)
// filling the left 900 x 1200 about its centre; photo B (4000 x 3000 stored with
// orientation 6) upright, filling the right half; a 250 x 250 PNG with soft
// alpha at (1500, 50); a 38-word caption in DejaVu Sans 48 px wrapped in
// 1700 x 200 at (50, 980); a 200 x 200 QR picture at (50, 50).
struct CompositeFiles {
    QTemporaryDir folder;
    QString photoA;
    QString photoB;
    QString templatePath;
    bool ready = false;

    CompositeFiles();

    QString output(const QString& name) const { return folder.filePath(name); }

    static const CompositeFiles& shared();
};
