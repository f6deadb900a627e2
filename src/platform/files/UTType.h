#pragma once

#include <QString>

namespace platform {

// The type identifiers the system names in code. Identifiers compare without
// regard to case.
inline const QString kUTTypeItem = QStringLiteral("public.item");
inline const QString kUTTypeData = QStringLiteral("public.data");
inline const QString kUTTypeDirectory = QStringLiteral("public.directory");
inline const QString kUTTypeFolder = QStringLiteral("public.folder");
inline const QString kUTTypePackage = QStringLiteral("com.apple.package");
inline const QString kUTTypeSymLink = QStringLiteral("public.symlink");
inline const QString kUTTypeFileURL = QStringLiteral("public.file-url");
inline const QString kUTTypeText = QStringLiteral("public.text");
inline const QString kUTTypePlainText = QStringLiteral("public.plain-text");
inline const QString kUTTypeRTF = QStringLiteral("public.rtf");
inline const QString kUTTypeHTML = QStringLiteral("public.html");
inline const QString kUTTypeXML = QStringLiteral("public.xml");
inline const QString kUTTypePropertyList = QStringLiteral("com.apple.property-list");
inline const QString kUTTypeImage = QStringLiteral("public.image");
inline const QString kUTTypeJPEG = QStringLiteral("public.jpeg");
inline const QString kUTTypePNG = QStringLiteral("public.png");
inline const QString kUTTypeTIFF = QStringLiteral("public.tiff");
inline const QString kUTTypeJPEG2000 = QStringLiteral("public.jpeg-2000");
inline const QString kUTTypeBMP = QStringLiteral("com.microsoft.bmp");
inline const QString kUTTypeGIF = QStringLiteral("com.compuserve.gif");
inline const QString kUTTypeRawImage = QStringLiteral("public.camera-raw-image");
inline const QString kUTTypePDF = QStringLiteral("com.adobe.pdf");

// Uniform type identifiers: which kind an item or a file-name extension is, and
// whether one kind is a special case of another.
//
// Conformance is transitive over one table of identifiers and their parents
// (public.jpeg -> public.image -> public.data -> public.item). A folder is
// public.folder, which is a directory but not data; a job bundle is a package,
// which is a directory but not a folder. An extension no table entry claims gets
// a stable dynamic identifier ("dyn.ext." + the encoded extension) whose parent
// follows from the extension's MIME type (an image, XML, text or plain data).
// Every function is thread-safe.
class UTType {
public:
    // Whether `type` is `parent` or a descendant of it. Every type conforms to
    // itself, also one the table does not know.
    static bool conformsTo(const QString& type, const QString& parent);

    // The preferred type for a file-name extension (without the dot, any case):
    // the table's, else the one its MIME type names, else a dynamic identifier.
    // public.data for the empty extension.
    static QString typeForExtension(const QString& extension);

    // The type of a MIME type (parameters such as ";charset=utf-8" ignored): the
    // table's, else the type of the MIME type's preferred extension; empty for a
    // MIME type without either.
    static QString typeForMIMEType(const QString& mimeType);

    // The preferred file-name extension of `type`, lower case; empty when it
    // has none or is unknown.
    static QString preferredExtension(const QString& type);

    // The preferred MIME type of `type`; empty when it has none or is unknown.
    static QString mimeType(const QString& type);

    // The type of the item at `path`, following a symbolic link; empty when
    // nothing exists there (a dangling link is public.symlink). A folder is
    // public.folder unless it is a job bundle (its name ends in ".kovajob" or it
    // holds a "job.xml" in any letter case). A regular file's type comes from its
    // extension; only a file without one has its contents examined.
    static QString typeOfItemAtPath(const QString& path);

    // The job bundle type.
    static inline const QString jobBundle = QStringLiteral("com.morvanta.kova.job");
};

} // namespace platform
