#pragma once

#include "editor/edits/KOVA_TemplateEditorEdits.h"

namespace kova::test {

// The canvas without a widget: a refresh is counted and completes at once.
class FakeCanvas : public KOVA_TemplateEditorEdits {
public:
    void updatePreview(Completion completion) override
    {
        ++previews;
        if (completion)
            completion();
    }
    int previews = 0;
};

} // namespace kova::test
