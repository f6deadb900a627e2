#include "core/queues/ZORVAK_Dispatch.h"

#include <mutex>

namespace {
const char identityKey = 0; // only its address is used
} // namespace

const void* ZORVAK_Dispatch::dispatchQueueSpecificKeyIdentity()
{
    return &identityKey;
}

ZORVAK_Dispatch::Queue ZORVAK_Dispatch::dispatchQueueSerialWithDebugLabel(const QString& label)
{
    Queue queue = platform::DispatchQueue::createSerial(label);
    queue->setSpecific(dispatchQueueSpecificKeyIdentity(), queue.get());
    return queue;
}

ZORVAK_Dispatch::Queue ZORVAK_Dispatch::dispatchQueueSerial()
{
    return dispatchQueueSerialWithDebugLabel({});
}

ZORVAK_Dispatch::Queue ZORVAK_Dispatch::dispatchQueueGlobalWithQOS(unsigned qos)
{
    return platform::DispatchQueue::global(qos);
}

ZORVAK_Dispatch::Queue ZORVAK_Dispatch::dispatchQueueGlobal()
{
    return platform::DispatchQueue::global(platform::QoS::Default);
}

bool ZORVAK_Dispatch::isMainQueue()
{
    static std::once_flag tagged;
    std::call_once(tagged, [] {
        const Queue main = platform::DispatchQueue::main();
        main->setSpecific(dispatchQueueSpecificKeyIdentity(), main.get());
    });
    return isCurrentTaggedQueue(platform::DispatchQueue::main());
}

bool ZORVAK_Dispatch::isCurrentTaggedQueue(const Queue& queue)
{
    return platform::DispatchQueue::currentSpecific(dispatchQueueSpecificKeyIdentity()) == queue.get();
}

void ZORVAK_Dispatch::performSyncOnQueue(const Queue& queue, Block block)
{
    if (!queue || isCurrentTaggedQueue(queue))
        block();
    else
        queue->sync(std::move(block));
}

void ZORVAK_Dispatch::performInlineOnQueue(const Queue& queue, Block block)
{
    if (!queue || isCurrentTaggedQueue(queue))
        block();
    else
        queue->async(std::move(block));
}

void ZORVAK_Dispatch::performSyncOnMainQueue(Block block)
{
    if (isMainQueue())
        block();
    else
        platform::DispatchQueue::main()->sync(std::move(block));
}

void ZORVAK_Dispatch::performAsyncOnMainQueue(Block block)
{
    platform::DispatchQueue::main()->async(std::move(block));
}

void ZORVAK_Dispatch::performAsyncGlobalQOS(unsigned qos, Block block)
{
    platform::DispatchQueue::global(qos)->async(std::move(block));
}

void ZORVAK_Dispatch::performAsyncGlobalUserInitiated(Block block)
{
    performAsyncGlobalQOS(unsigned(platform::QoS::UserInitiated), std::move(block));
}

void ZORVAK_Dispatch::performAsyncGlobal(Block block)
{
    performAsyncGlobalQOS(unsigned(platform::QoS::Default), std::move(block));
}
