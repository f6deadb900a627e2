#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

struct zint_symbol;

// One symbol of the zint encoder, drawn at exactly one pixel per module, black
// modules on an opaque white ground. The settings left unset keep zint's own
// defaults for the symbology.
class ZintSymbol {
public:
    explicit ZintSymbol(int symbology);
    ~ZintSymbol();
    ZintSymbol(ZintSymbol&&) noexcept;
    ZintSymbol& operator=(ZintSymbol&&) noexcept;

    // zint's symbology-specific first option (the error correction level for
    // Aztec, QR and PDF417).
    void setOption1(int value);
    // The height in modules of symbologies without a fixed height (Code 128).
    void setHeight(float modules);
    // White space in modules added to the left and the right.
    void setWhitespaceWidth(int modules);

    // The symbol for the bytes; bytes above 127 are ISO Latin 1 text and are
    // announced as such (ECI 3) so that readers need not guess. A null image
    // when zint refuses the data, with its reason in errorText().
    QImage render(const QByteArray& bytes);
    QString errorText() const;

private:
    struct Deleter {
        void operator()(zint_symbol* symbol) const;
    };
    std::unique_ptr<zint_symbol, Deleter> m_symbol;
};
