#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>

// What filling and rendering a template need of the job a template is filled from.
// The job model of the workflow provides it.
class KOVA_TemplateJob {
public:
    virtual ~KOVA_TemplateJob() = default;

    // The job's stored value for `key` in the package named `packageName` (or found by
    // its product code): replacement values, sub-template names, crop rectangle texts
    // and rotations. An invalid QVariant when there is none.
    virtual QVariant valueForKey(const QString& key, const QString& packageName) const = 0;
    virtual QVariant templateForKey(const QString& key, const QString& packageName) const = 0;
    virtual QVariant cropRectForKey(const QString& key, const QString& packageName) const = 0;
    virtual QVariant rotationForKey(const QString& key, const QString& packageName) const = 0;
    // The job's image path.
    virtual QString graphicPath() const = 0;
};

// What filling and rendering a template need of the product package it belongs to.
// A template's package (KOVA_Template::package()) provides it when it is one; the
// product package of the workflow is.
class KOVA_TemplatePackage {
public:
    virtual ~KOVA_TemplatePackage() = default;

    virtual QString packageName() const = 0;
    // The product code ("plucode"); empty when the package has none.
    virtual QString pluCode() const = 0;
    // The job the package runs for, or null.
    virtual std::shared_ptr<KOVA_TemplateJob> job() const = 0;
    // The job bundle the package was found for, or an empty URL.
    virtual QUrl urlJobContainer() const = 0;
};
