#pragma once

#include "core/queues/ZORVAK_Dispatch.h"

// The template editor's window controller.
class KOVA_TemplateEditor {
public:
    // The one process-wide serial queue on which the editor loads templates and
    // selects, replaces, deletes and adds their layers.
    static ZORVAK_Dispatch::Queue sharedSynchronizedQueue();
};
