#pragma once
// The script engine's value type: VBScript's Variant with its subtypes.
//
// Arrays and strings have value semantics (an array is copied on write when shared); objects
// are shared references to a Dispatch. Numbers keep their subtype (Integer, Long, Single,
// Double, Currency, Byte) because VBScript's arithmetic depends on it.

#include <QString>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace orra::vbs {

class Dispatch;
class Variant;
using DispatchPtr = std::shared_ptr<Dispatch>;

// VarType numbers.
enum class VarType : int {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Object = 9,
    Error = 10,
    Boolean = 11,
    Variant = 12,
    Decimal = 14,
    Byte = 17,
    Array = 8192,
};

// A (possibly multi-dimensional) SAFEARRAY-like block of Variants, stored with the last index
// fastest; For Each turns that round and walks the first index fastest, as VBScript does.
struct VariantArray {
    struct Bound {
        long lower = 0;
        long count = 0;
    };
    std::vector<Bound> bounds;
    std::vector<Variant> data;
    int locks = 0;   // >0 while For Each or a ByRef element reference holds it

    long dims() const { return long(bounds.size()); }
    // Flat index of the given subscripts; -1 when out of range or the count is wrong.
    long flatIndex(const Variant* subscripts, size_t n) const;
};
using ArrayPtr = std::shared_ptr<VariantArray>;

class Variant {
public:
    Variant() noexcept : m_type(VarType::Empty) { m_u.i = 0; }
    Variant(const Variant& o) : m_type(o.m_type), m_u(o.m_u)
    {
        if (hasPayload(m_type)) copyPayload(o);
    }
    // A move carries the fixed-size mark (the variable relocates); a copy never does.
    Variant(Variant&& o) noexcept : m_type(o.m_type), m_fixedArray(o.m_fixedArray), m_u(o.m_u)
    {
        if (hasPayload(m_type)) movePayload(std::move(o));
    }
    Variant& operator=(const Variant& o)
    {
        if (!hasPayload(m_type) && !hasPayload(o.m_type)) {   // numbers: no payload
            m_type = o.m_type;
            m_u = o.m_u;
            return *this;
        }
        return copyAssignSlow(o);
    }
    Variant& operator=(Variant&& o) noexcept
    {
        if (!hasPayload(m_type) && !hasPayload(o.m_type)) {
            m_type = o.m_type;
            m_u = o.m_u;
            return *this;
        }
        return moveAssignSlow(std::move(o));
    }
    ~Variant()
    {
        if (hasPayload(m_type)) destroyPayload();
    }

    // Constructors for each subtype.
    static Variant null()
    {
        Variant v;
        v.m_type = VarType::Null;
        return v;
    }
    static Variant integer(int16_t x)
    {
        Variant v;
        v.m_type = VarType::Integer;
        v.m_u.i = x;
        return v;
    }
    static Variant longValue(int32_t x)
    {
        Variant v;
        v.m_type = VarType::Long;
        v.m_u.i = x;
        return v;
    }
    static Variant single(float x)
    {
        Variant v;
        v.m_type = VarType::Single;
        v.m_u.d = x;
        return v;
    }
    static Variant dbl(double x)
    {
        Variant v;
        v.m_type = VarType::Double;
        v.m_u.d = x;
        return v;
    }
    // Currency from its scaled integer (value * 10000).
    static Variant currencyScaled(int64_t x)
    {
        Variant v;
        v.m_type = VarType::Currency;
        v.m_u.i = x;
        return v;
    }
    static Variant date(double oaDate)
    {
        Variant v;
        v.m_type = VarType::Date;
        v.m_u.d = oaDate;
        return v;
    }
    static Variant boolean(bool b)
    {
        Variant v;
        v.m_type = VarType::Boolean;
        v.m_u.i = b ? -1 : 0;
        return v;
    }
    static Variant byte(uint8_t x)
    {
        Variant v;
        v.m_type = VarType::Byte;
        v.m_u.i = x;
        return v;
    }
    static Variant error(int32_t scode)
    {
        Variant v;
        v.m_type = VarType::Error;
        v.m_u.i = scode;
        return v;
    }
    static Variant string(const QString& s)
    {
        Variant v;
        v.m_type = VarType::String;
        new (&v.m_s) QString(s);
        return v;
    }
    static Variant object(DispatchPtr o)
    {
        Variant v;
        v.m_type = VarType::Object;
        new (&v.m_obj) DispatchPtr(std::move(o));
        return v;
    }
    static Variant nothing() { return object(nullptr); }
    // fixedSize: the variable was declared with dimensions (Dim a(3)); assignment and ReDim
    // refuse it, but a copy of its value is an ordinary dynamic array.
    static Variant array(ArrayPtr a, bool fixedSize = false)
    {
        Variant v;
        v.m_type = VarType::Array;
        v.m_fixedArray = fixedSize;
        new (&v.m_arr) ArrayPtr(std::move(a));
        return v;
    }
    // The smallest of Integer, Long, Double that holds x.
    static Variant fromInteger(int64_t x);

    Variant(const QString& s) : m_type(VarType::String)
    {
        m_u.i = 0;
        new (&m_s) QString(s);
    }
    Variant(const char* s) : m_type(VarType::String)
    {
        m_u.i = 0;
        new (&m_s) QString(QString::fromUtf8(s));
    }

    VarType type() const noexcept { return m_type; }
    int varType() const noexcept { return m_type == VarType::Array ? 8204 : int(m_type); }   // arrays: 8204
    bool isEmpty() const noexcept { return m_type == VarType::Empty; }
    bool isNull() const noexcept { return m_type == VarType::Null; }
    bool isString() const noexcept { return m_type == VarType::String; }
    bool isObject() const noexcept { return m_type == VarType::Object; }
    bool isNothing() const noexcept { return m_type == VarType::Object && !m_obj; }
    bool isArray() const noexcept { return m_type == VarType::Array; }
    bool isFixedArray() const noexcept { return m_type == VarType::Array && m_fixedArray; }
    bool isNumeric() const noexcept;       // a numeric subtype, Boolean or Empty excluded
    bool isNumericLike() const noexcept;   // numeric, Boolean, Date, Empty

    // Raw payloads (numbers: valid only for the matching subtype; the others give an empty
    // value for another subtype).
    int64_t rawInt() const noexcept { return m_u.i; }
    double rawDouble() const noexcept { return m_u.d; }
    const QString& rawString() const noexcept { return m_type == VarType::String ? m_s : emptyString(); }
    QString& rawStringRef() noexcept;   // String subtype only
    const DispatchPtr& rawObject() const noexcept { return m_type == VarType::Object ? m_obj : nullObject(); }
    const ArrayPtr& rawArray() const noexcept { return m_type == VarType::Array ? m_arr : nullArray(); }
    // The array for writing: copies it first when another Variant shares it.
    VariantArray* mutableArray();

    // Conversions with VBScript's rules; they throw orra::vbs::ScriptError (13 Type mismatch,
    // 6 Overflow, 94 Invalid use of Null...) where VBScript raises.
    QString toString() const;           // CStr (Empty gives "")
    double toDouble() const;            // CDbl
    int32_t toLong() const;             // CLng (banker's rounding)
    int16_t toInteger() const;          // CInt
    bool toBool() const;                // CBool ("True"/"False" and numbers)
    int64_t toCurrencyScaled() const;   // CCur * 10000
    double toDate() const;              // CDate as an OLE automation date
    DispatchPtr toObject() const;       // object or Nothing; 424 Object required otherwise

    // The value with an object's default member read (objects without one raise 438).
    Variant dereferenced() const;

    // The subtype name as TypeName() reports it ("Integer", "String", "Variant()", class name).
    QString typeName() const;

    void clear() { *this = Variant(); }

    // Stores an Integer, Long or Boolean in place (the interpreter's fast paths).
    void setRaw(VarType t, int64_t x) noexcept
    {
        if (hasPayload(m_type)) destroyPayload();
        m_type = t;
        m_u.i = x;
    }

private:
    // Only String, Object and Array hold a payload; every other subtype is plain bits.
    static constexpr bool hasPayload(VarType t) noexcept
    {
        return unsigned(t) - unsigned(VarType::String) <= 1u || t == VarType::Array;   // String, Object; Array
    }
    Variant& copyAssignSlow(const Variant& o);
    Variant& moveAssignSlow(Variant&& o) noexcept;
    void copyPayload(const Variant& o);
    void movePayload(Variant&& o) noexcept;
    void destroyPayload() noexcept;
    static const QString& emptyString() noexcept;
    static const DispatchPtr& nullObject() noexcept;
    static const ArrayPtr& nullArray() noexcept;

    VarType m_type;
    bool m_fixedArray = false;   // this variable's own mark, not its array data's
    union {
        int64_t i;
        double d;
    } m_u;
    union {
        QString m_s;
        DispatchPtr m_obj;
        ArrayPtr m_arr;
    };
};

using Arguments = std::vector<Variant>;

}   // namespace orra::vbs
