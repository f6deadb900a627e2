#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantList>

namespace platform {

// The answer to a bus call that is given later, from any thread: made inside
// the adaptor's slot (which then returns at once, leaving the main thread
// free) and sent by whichever worker finishes the request. Copyable; send once.
class DelayedReply {
public:
    // Marks `call` as answered later.
    DelayedReply(QDBusConnection bus, const QDBusMessage& call);

    // Sends the reply with `arguments`.
    void send(const QVariantList& arguments = {}) const;
    // Sends an error reply.
    void sendError(const QString& name, const QString& message) const;

private:
    QDBusConnection m_bus;
    QDBusMessage m_call;
};

} // namespace platform
