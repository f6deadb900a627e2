#pragma once

#include <lcms2.h>

#include <memory>

// lcms2 profiles and transforms owned like any other object: closed when they go.
namespace LcmsHandles {

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
using Transform = std::unique_ptr<void, TransformDeleter>;

} // namespace LcmsHandles
