#include "editor/documents/UnsavedChangesPolicy.h"

#include "platform/defaults/UserDefaults.h"

UnsavedChangesPolicy::Policy UnsavedChangesPolicy::current()
{
    const qint64 stored = platform::UserDefaults::standardUserDefaults()->integerForKey(preferenceKey);
    return stored == saveAlways || stored == neverSave ? Policy(stored) : ask;
}

void UnsavedChangesPolicy::storeAnswer(Answer answer, bool doNotAskAgain)
{
    if (answer == cancel)
        return;
    const Policy policy = !doNotAskAgain ? ask : answer == save ? saveAlways : neverSave;
    platform::UserDefaults::standardUserDefaults()->setInteger(policy, preferenceKey);
}

QString UnsavedChangesPolicy::saveTitle(bool doNotAskAgain)
{
    return doNotAskAgain ? QStringLiteral("Save Always") : QStringLiteral("Save");
}

QString UnsavedChangesPolicy::dontSaveTitle(bool doNotAskAgain)
{
    return doNotAskAgain ? QStringLiteral("Never Save") : QStringLiteral("Don't Save");
}
