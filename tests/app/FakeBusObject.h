#pragma once

// A bus object of a test: answers the calls of one interface with a handler and
// counts them by member.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMap>

#include <functional>

namespace kova::test {

class FakeBusObject : public QDBusVirtualObject {
public:
    using Handler = std::function<QVariantList(const QDBusMessage& call)>;

    explicit FakeBusObject(Handler handler)
        : m_handler(std::move(handler))
    {
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.type() != QDBusMessage::MethodCallMessage)
            return false;
        ++m_calls[message.member()];
        connection.send(message.createReply(m_handler(message)));
        return true;
    }
    int calls(const QString& member) const { return m_calls.value(member); }

private:
    Handler m_handler;
    QMap<QString, int> m_calls;
};

// Serves `object` under `name` at "/" on its own connection to `address`.
inline QDBusConnection serve(const QString& address, const QString& name, FakeBusObject* object)
{
    QDBusConnection connection = QDBusConnection::connectToBus(address, name + QStringLiteral(".server"));
    connection.registerVirtualObject(QStringLiteral("/"), object);
    connection.registerService(name);
    return connection;
}

} // namespace kova::test
