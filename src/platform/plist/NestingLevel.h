#pragma once

#include "platform/plist/PropertyList.h"

namespace platform {

// One level of nesting while a value or object graph is walked recursively: counts itself into
// `depth` for as long as it lives, so that hostile input cannot recurse without bound.
class NestingLevel {
public:
    explicit NestingLevel(int& depth) : m_depth(depth) { ++m_depth; }
    ~NestingLevel() { --m_depth; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

    bool tooDeep() const { return m_depth > PropertyList::MaximumDepth; }

private:
    int& m_depth;
};

} // namespace platform
