#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// Reads texts out of a fuzzer's bytes. ASCII bytes stand for themselves, so seeds stay readable;
// bytes 0x80 to 0xF7 pick from a small set of characters that matter to the code under test;
// 0xF8 to 0xFF take the next two bytes as one raw UTF-16 code unit (a lone surrogate, a NUL).
// A zero byte ends a text.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size, QString specials)
        : m_data(data), m_size(size), m_specials(std::move(specials))
    {
    }

    bool atEnd() const { return m_pos >= m_size; }

    QString takeText()
    {
        QString text;
        while (m_pos < m_size) {
            const uint8_t byte = m_data[m_pos++];
            if (byte == 0)
                break;
            if (byte < 0x80) {
                text += QChar(byte);
            } else if (byte < 0xF8) {
                if (!m_specials.isEmpty())
                    text += m_specials.at((byte - 0x80) % m_specials.size());
            } else if (m_pos + 2 <= m_size) {
                text += QChar(char16_t(m_data[m_pos] << 8 | m_data[m_pos + 1]));
                m_pos += 2;
            }
        }
        return text;
    }

    // The bytes up to the first pair of zero bytes (or all of them).
    QByteArray takeBytesUntilDoubleZero()
    {
        const size_t start = m_pos;
        while (m_pos < m_size) {
            if (m_data[m_pos] == 0 && m_pos + 1 < m_size && m_data[m_pos + 1] == 0) {
                QByteArray bytes(reinterpret_cast<const char*>(m_data + start),
                                 qsizetype(m_pos - start));
                m_pos += 2;
                return bytes;
            }
            ++m_pos;
        }
        return QByteArray(reinterpret_cast<const char*>(m_data + start), qsizetype(m_size - start));
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    QString m_specials;
};
