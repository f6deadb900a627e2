#pragma once

#include <QString>

// The names of the system's preferences (user defaults), its job-bundle type,
// the print-to-file name formats and the notifications about the work folder.
// Every part of the system reads its preferences through these names. The folder
// keys' values are their own names; the other keys drop the "key_" prefix. No
// defaults are registered: each reader supplies its own fallback.

// Type identifier of a job bundle.
inline const QString kUTType_KOVA_Job = QStringLiteral("com.morvanta.kova.job");

// Print-to-file sets: the entry meaning no upload folder, and the name formats.
inline const QString string_kova_DoNotUpload = QStringLiteral("Do NOT upload to Web");
inline const QString string_kova_ImageNameOnly = QStringLiteral("Original Image Name");
inline const QString string_kova_ImagePlusDateTime = QStringLiteral("Image + Date_Time");
inline const QString string_kova_ImagePlusTemplate = QStringLiteral("Image + Template");
inline const QString string_kova_ImagePlusCKTemplate = QStringLiteral("Image + CK Template");

// Paths of the work folders.
inline const QString key_kovaFolderKOVA = QStringLiteral("key_kovaFolderKOVA");
inline const QString key_kovaFolderTemplates = QStringLiteral("key_kovaFolderTemplates");
inline const QString key_kovaFolderGraphics = QStringLiteral("key_kovaFolderGraphics");
inline const QString key_kovaFolderNodes = QStringLiteral("key_kovaFolderNodes");
inline const QString key_kovaFolderPackages = QStringLiteral("key_kovaFolderPackages");
inline const QString key_kovaFolderJobsPending = QStringLiteral("key_kovaFolderJobsPending");
inline const QString key_kovaFolderJobsCompleted = QStringLiteral("key_kovaFolderJobsCompleted");
inline const QString key_kovaFolderJobsFailed = QStringLiteral("key_kovaFolderJobsFailed");
// Output folder for file destinations that name none.
inline const QString key_kovaFolderFallbackOutputPath = QStringLiteral("kovaFolderFallbackOutputPath");

// The job processor: whether it runs (boolean) and its counts (integers).
inline const QString key_kovaProcessorIsRunning = QStringLiteral("kovaProcessorIsRunning");
inline const QString key_kovaProcessorJobsCompleted = QStringLiteral("kovaProcessorJobsCompleted");
inline const QString key_kovaProcessorJobsFailed = QStringLiteral("kovaProcessorJobsFailed");

// Questions asked before deleting a pending order and before saving a template.
inline const QString key_kovaConfirmBeforeDeletingOrderPending = QStringLiteral("kovaConfirmBeforeDeletingOrderPending");
inline const QString key_kovaConfirmBeforeSavingTemplate = QStringLiteral("kovaConfirmBeforeSavingTemplate");

// The opacities (numbers) and colour codes last chosen for a new layer.
inline const QString key_kovaTemplateLastUsedOpacityBackground = QStringLiteral("kovaTemplateLastUsedOpacityBackground");
inline const QString key_kovaTemplateLastUsedOpacityBorder = QStringLiteral("kovaTemplateLastUsedOpacityBorder");
inline const QString key_kovaTemplateLastUsedOpacityText = QStringLiteral("kovaTemplateLastUsedOpacityText");
inline const QString key_kovaTemplateLastUsedColorBackground = QStringLiteral("kovaTemplateLastUsedColorBackground");
inline const QString key_kovaTemplateLastUsedColorBorder = QStringLiteral("kovaTemplateLastUsedColorBorder");
inline const QString key_kovaTemplateLastUsedColorText = QStringLiteral("kovaTemplateLastUsedColorText");

// Windows open at the last quit, and the processor window's saved frame.
inline const QString key_kovaWindowIsVisibleEditorTemplate = QStringLiteral("kovaWindowIsVisibleEditorTemplate");
inline const QString key_kovaWindowIsVisibleProcessor = QStringLiteral("kovaWindowIsVisibleProcessor");
inline const QString key_kovaWindowAutosaveProcessor = QStringLiteral("com.morvanta.kovaxml.window.autosave.processor");

// The operator's numbered texts that templates stamp into their output (a
// dictionary from number to text).
inline const QString key_KOVA_EditableText = QStringLiteral("KOVA_EditableText");

// Notifications: a request to the privileged helper to make the work folder,
// and its answer that the folder was made.
inline const QString key_kovaFolder_make = QStringLiteral("com.morvanta.KOVA.kovaFolder.make");
inline const QString key_kovaFolder_made = QStringLiteral("com.morvanta.KOVA.kovaFolder.made");

// Shown in place of a value that is absent.
inline const QString string_kovaGeneric_missing = QStringLiteral("<missing>");
