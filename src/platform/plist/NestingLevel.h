#pragma once

#include "platform/plist/PropertyList.h"

namespace platform {

// One level of nesting while a value or object graph is walked recursively: counts itself into
// `depth` for as long as it lives, so that hostile input cannot recurse without bound.
class NestingLevel {
public:
    explicit NestingLevel(int& depth) : depth_(depth) { ++depth_; }
    ~NestingLevel() { --depth_; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

    bool tooDeep() const { return depth_ > PropertyList::MaximumDepth; }

private:
    int& depth_;
};

} // namespace platform
