#include "editor/window/KOVA_TemplateEditor.h"

ZORVAK_Dispatch::Queue KOVA_TemplateEditor::sharedSynchronizedQueue()
{
    static const ZORVAK_Dispatch::Queue queue = ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(
        QStringLiteral("com.morvanta.kova.queue.sharedSynchronized.KOVA_TemplateEditor"));
    return queue;
}
