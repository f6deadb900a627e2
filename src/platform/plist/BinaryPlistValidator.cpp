#include "platform/plist/BinaryPlistValidator.h"

#include "platform/plist/PropertyList.h"
#include "platform/plist/SizeBudget.h"

#include <algorithm>
#include <vector>

namespace platform {
namespace {

constexpr qint64 HeaderSize = 8;
constexpr qint64 TrailerSize = 32;
constexpr quint64 MaximumObjectCount = PropertyList::MaximumSize / SizeBudget::NodeCost;

enum ObjectType : quint8 {
    Simple = 0x0, Integer = 0x1, Real = 0x2, Date = 0x3, Data = 0x4, AsciiString = 0x5,
    Utf16String = 0x6, Uid = 0x8, Array = 0xA, Set = 0xC, Dictionary = 0xD
};

// One object's header: its kind, its text or data bytes and where its references start.
struct Object {
    quint8 type = 0;
    qint64 payloadBytes = 0;
    qint64 payloadAt = 0;
    quint64 referenceCount = 0; // dictionaries: keys, then as many values
    qint64 referencesAt = 0;
};

// Per object while walking: not yet seen, open on the walk's stack, or done with its height
// (levels of nesting below and including it) and expanded cost known.
struct Visit {
    quint16 height = 0; // 0: not seen
    bool open = false;
    qint64 cost = 0;
};

class Scanner {
public:
    explicit Scanner(const QByteArray& data) : m_data(data) {}

    bool run()
    {
        return readTrailer() && walk();
    }

    QString problem;

private:
    struct Frame {
        quint64 index;
        Object object;
        quint64 next = 0;
        qint64 cost = 0;
        quint16 height = 1;
    };

    bool fail(const QString& message)
    {
        problem = message;
        return false;
    }

    quint64 readUnsigned(qint64 at, int size) const
    {
        quint64 value = 0;
        for (int i = 0; i < size; ++i)
            value = (value << 8) | quint8(m_data[at + i]);
        return value;
    }

    // Whether `length` bytes at `at` lie inside the object area between header and offset table.
    bool fits(qint64 at, quint64 length) const
    {
        return at >= HeaderSize && at <= m_tableOffset && length <= quint64(m_tableOffset - at);
    }

    bool readTrailer()
    {
        const qint64 size = m_data.size();
        if (size < HeaderSize + 1 + TrailerSize)
            return fail(QStringLiteral("binary property list too short"));
        const qint64 trailer = size - TrailerSize;
        m_offsetSize = quint8(m_data[trailer + 6]);
        m_referenceSize = quint8(m_data[trailer + 7]);
        m_objectCount = readUnsigned(trailer + 8, 8);
        m_topObject = readUnsigned(trailer + 16, 8);
        const quint64 tableOffset = readUnsigned(trailer + 24, 8);
        if (!isIntegerSize(m_offsetSize) || !isIntegerSize(m_referenceSize))
            return fail(QStringLiteral("binary property list has invalid offset or reference sizes"));
        if (m_objectCount == 0 || m_objectCount > MaximumObjectCount || m_topObject >= m_objectCount)
            return fail(QStringLiteral("binary property list has an invalid object count or top object"));
        if (tableOffset < quint64(HeaderSize) || tableOffset > quint64(trailer)
            || m_objectCount * m_offsetSize > quint64(trailer) - tableOffset)
            return fail(QStringLiteral("binary property list offset table out of range"));
        m_tableOffset = qint64(tableOffset);
        m_visits.assign(m_objectCount, Visit{});
        return true;
    }

    // Offsets and references take as many bytes as their largest value needs: a list of
    // 64 KiB to 16 MiB has three-byte offsets.
    static bool isIntegerSize(int size)
    {
        return size >= 1 && size <= 8;
    }

    static bool isPowerOfTwoSize(int size)
    {
        return size == 1 || size == 2 || size == 4 || size == 8;
    }

    // Reads the count that follows a marker: the low nibble, or an integer object after it.
    bool readCount(qint64 at, quint8 nibble, quint64* count, qint64* next)
    {
        if (nibble != 0xF) {
            *count = nibble;
            *next = at + 1;
            return true;
        }
        if (!fits(at + 1, 1))
            return fail(QStringLiteral("binary property list count out of range"));
        const quint8 marker = quint8(m_data[at + 1]);
        const int size = 1 << (marker & 0xF);
        if ((marker >> 4) != Integer || (marker & 0xF) > 3 || !fits(at + 2, size))
            return fail(QStringLiteral("binary property list has an invalid count"));
        *count = readUnsigned(at + 2, size);
        *next = at + 2 + size;
        return true;
    }

    bool readObject(quint64 index, Object* object)
    {
        const qint64 at = qint64(readUnsigned(m_tableOffset + qint64(index) * m_offsetSize, m_offsetSize));
        if (!fits(at, 1))
            return fail(QStringLiteral("binary property list object offset out of range"));
        const quint8 marker = quint8(m_data[at]);
        const quint8 nibble = marker & 0xF;
        object->type = marker >> 4;
        switch (object->type) {
        case Simple:
            return nibble == 0x8 || nibble == 0x9 ? true : fail(QStringLiteral("binary property list has an unsupported simple object"));
        case Integer:
            return nibble <= 4 && fits(at + 1, 1u << nibble) ? true : fail(QStringLiteral("binary property list has an invalid integer"));
        case Real:
            return (nibble == 2 || nibble == 3) && fits(at + 1, 1u << nibble) ? true : fail(QStringLiteral("binary property list has an invalid real"));
        case Date:
            return nibble == 3 && fits(at + 1, 8) ? true : fail(QStringLiteral("binary property list has an invalid date"));
        case Uid:
            return isPowerOfTwoSize(nibble + 1) && fits(at + 1, nibble + 1u) ? true : fail(QStringLiteral("binary property list has an invalid UID"));
        case Data:
        case AsciiString:
        case Utf16String:
            return readPayload(at, nibble, object);
        case Array:
        case Set:
        case Dictionary:
            return readReferences(at, nibble, object);
        default:
            return fail(QStringLiteral("binary property list has an unknown object type"));
        }
    }

    bool readPayload(qint64 at, quint8 nibble, Object* object)
    {
        quint64 count = 0;
        qint64 next = 0;
        if (!readCount(at, nibble, &count, &next))
            return false;
        const quint64 unit = object->type == Utf16String ? 2 : 1;
        if (count > quint64(m_tableOffset) || !fits(next, count * unit))
            return fail(QStringLiteral("binary property list text or data out of range"));
        object->payloadAt = next;
        object->payloadBytes = qint64(count * unit);
        return true;
    }

    bool readReferences(qint64 at, quint8 nibble, Object* object)
    {
        quint64 count = 0;
        qint64 next = 0;
        if (!readCount(at, nibble, &count, &next))
            return false;
        const quint64 perEntry = object->type == Dictionary ? 2 : 1;
        if (count > quint64(m_tableOffset) || !fits(next, count * perEntry * m_referenceSize))
            return fail(QStringLiteral("binary property list collection out of range"));
        object->referenceCount = count * perEntry;
        object->referencesAt = next;
        return true;
    }

    // Dictionary keys must be text without NUL characters (libplist aborts on such keys).
    bool isKey(quint64 index)
    {
        Object key;
        if (!readObject(index, &key) || (key.type != AsciiString && key.type != Utf16String))
            return false;
        const QByteArray text = m_data.mid(key.payloadAt, key.payloadBytes);
        if (key.type == AsciiString)
            return !text.contains('\0');
        for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
            if (text[i] == 0 && text[i + 1] == 0)
                return false;
        }
        return true;
    }

    bool open(quint64 index)
    {
        if (m_stack.size() > size_t(PropertyList::MaximumDepth))
            return fail(QStringLiteral("binary property list nested too deeply"));
        Frame frame{index, {}};
        if (!readObject(index, &frame.object))
            return false;
        frame.cost = SizeBudget::NodeCost + frame.object.payloadBytes;
        m_visits[index].open = true;
        m_stack.push_back(frame);
        return true;
    }

    void close()
    {
        const Frame frame = m_stack.back();
        m_stack.pop_back();
        m_visits[frame.index] = Visit{frame.height, false, frame.cost};
        if (!m_stack.empty())
            addChild(m_stack.back(), m_visits[frame.index]);
    }

    void addChild(Frame& parent, const Visit& child)
    {
        parent.cost = std::min(parent.cost + child.cost, PropertyList::MaximumSize + 1);
        parent.height = std::max<quint16>(parent.height, child.height + 1);
    }

    // Visits the next reference of the innermost open collection.
    bool step()
    {
        Frame& frame = m_stack.back();
        const quint64 position = frame.next++;
        const bool isKeyPosition = frame.object.type == Dictionary && position < frame.object.referenceCount / 2;
        const quint64 child = readUnsigned(frame.object.referencesAt + qint64(position) * m_referenceSize, m_referenceSize);
        if (child >= m_objectCount)
            return fail(QStringLiteral("binary property list reference out of range"));
        if (m_visits[child].open)
            return fail(QStringLiteral("binary property list refers to itself"));
        if (m_visits[child].height != 0)
            addChild(frame, m_visits[child]);
        else if (!open(child)) // invalidates `frame`
            return false;
        if (isKeyPosition && !isKey(child))
            return fail(QStringLiteral("binary property list has a dictionary key that is not text or holds NUL"));
        return true;
    }

    // Walks every object reachable from the top one without recursion.
    bool walk()
    {
        if (!open(m_topObject))
            return false;
        while (!m_stack.empty()) {
            const Frame& frame = m_stack.back();
            if (frame.cost > PropertyList::MaximumSize)
                return fail(QStringLiteral("binary property list expands beyond the size limit"));
            if (frame.next < frame.object.referenceCount) {
                if (!step())
                    return false;
            } else {
                close();
            }
        }
        return true;
    }

    const QByteArray& m_data;
    int m_offsetSize = 0;
    int m_referenceSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_topObject = 0;
    qint64 m_tableOffset = 0;
    std::vector<Visit> m_visits;
    std::vector<Frame> m_stack;
};

} // namespace

bool BinaryPlistValidator::validate(const QByteArray& data, QString* problem)
{
    Scanner scanner(data);
    if (scanner.run())
        return true;
    if (problem)
        *problem = scanner.problem;
    return false;
}

} // namespace platform
