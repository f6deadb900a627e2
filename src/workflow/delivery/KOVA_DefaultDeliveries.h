#pragma once

// The deliveries the workflow brings, one per destination kind: image files and upload
// folders, the print centre. Installed as the road is set up, as the defaults that
// KOVA_OutputDelivery::installDefaults() puts back.
class KOVA_DefaultDeliveries {
public:
    static void install();
};
