#pragma once

#include "core/queues/ZORVAK_Dispatch.h"

// The one process-wide serial queue on which the editor loads templates, selects,
// replaces, deletes and adds their layers, and reads their layer lists. The window
// offers it as KOVA_TemplateEditor::sharedSynchronizedQueue(); the canvas and the edits,
// which sit below the window, reach it here.
class TemplateEditorQueue {
public:
    static ZORVAK_Dispatch::Queue sharedSynchronizedQueue();
};
