#pragma once

#include "platform/Error.h"
#include "workflow/outputs/KOVA_Destination.h"

#include <QImage>

#include <functional>
#include <map>
#include <memory>

class KOVA_Output;

// Takes an output's picture to one of its destinations: one delivery per destination kind
// (files and upload folders, the print centre); the workflow's own are installed as the
// road is set up (KOVA_DefaultDeliveries), and another may replace them.
// An output hands every destination of a kind to the delivery installed for that kind; a
// destination whose kind has none installed fails with an error.
class KOVA_OutputDelivery {
public:
    // Called once per reported event, on the caller's queue, before the delivery returns.
    using Reply = std::function<void(bool success, const platform::Error& error)>;
    using Table = std::map<KOVA_Destination::Kind, std::shared_ptr<KOVA_OutputDelivery>>;

    virtual ~KOVA_OutputDelivery() = default;

    // Delivers `picture` (the composed output picture) to `destination`.
    virtual void deliver(KOVA_Output& output, const QImage& picture,
                         const std::shared_ptr<KOVA_Destination>& destination, const Reply& reply) = 0;
    // Delivers the output's original image file unchanged: every destination of the
    // output asks for the original, so nothing was rendered.
    virtual void deliverOriginal(KOVA_Output& output, const std::shared_ptr<KOVA_Destination>& destination,
                                 const Reply& reply) = 0;

    // The delivery for `kind`; null for none. Installing null removes it.
    static std::shared_ptr<KOVA_OutputDelivery> installed(KOVA_Destination::Kind kind);
    static void install(KOVA_Destination::Kind kind, std::shared_ptr<KOVA_OutputDelivery> delivery);
    // Makes `defaults` the default deliveries, for every kind, and installs them.
    static void setDefaults(const Table& defaults);
    // Puts back the default deliveries, for every kind.
    static void installDefaults();
};
