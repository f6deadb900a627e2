#include "editor/documents/TemplateEditorQueue.h"

// Labelled for the editor's window, whose queue it is.
ZORVAK_Dispatch::Queue TemplateEditorQueue::sharedSynchronizedQueue()
{
    static const ZORVAK_Dispatch::Queue queue = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(
        QStringLiteral("com.morvanta.kova.queue.sharedSynchronized.KOVA_TemplateEditor"));
    return queue;
}
