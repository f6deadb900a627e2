#pragma once

#include <QString>

// What the editor does with unsaved changes of the open template before it replaces
// or closes it, kept in the preference "kovaConfirmBeforeSavingTemplate", and the
// answers of the sheet that asks.
class UnsavedChangesPolicy {
public:
    enum Policy { ask = 0, saveAlways = 1, neverSave = 2 };
    // The sheet's buttons, by the answer each gives.
    enum Answer { dontSave = 0, save = 1, cancel = -1 };

    static inline const QString preferenceKey = QStringLiteral("kovaConfirmBeforeSavingTemplate");

    // The stored policy; absent or unknown values ask.
    static Policy current();
    // Stores the policy an answer makes permanent: with the box ticked, Save keeps
    // saving and Don't Save keeps dropping; without it every later change asks again.
    // Cancel stores nothing, whatever the box.
    static void storeAnswer(Answer answer, bool doNotAskAgain);

    static QString saveTitle(bool doNotAskAgain);
    static QString dontSaveTitle(bool doNotAskAgain);
};
