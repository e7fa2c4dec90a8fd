#pragma once

#include "base/Errors.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <functional>
#include <sys/stat.h>

// Decoding, line-break normalisation and case-insensitive equality of message files. Every
// function but the file readers is a pure function of its input, so results can be cached.

// Decodes by the byte-order mark (EF BB BF, FF FE, FE FF, tested in that order); without one, and
// for the bytes after a UTF-8 mark, through DecodeEightBit. A UTF-16 body of odd length leaves
// its last byte in oddByte; otherwise oddByte is -1.
QString DecodeText(QByteArrayView bytes, int& oddByte);
// UTF-8 when the whole content is well-formed UTF-8, else Windows-1252 byte by byte; bytes that
// Windows-1252 leaves undefined keep their own value (0x81 gives U+0081), so no two byte sequences
// give the same text.
QString DecodeEightBit(QByteArrayView bytes);
// Strict UTF-8 (no overlong forms, surrogates or values above U+10FFFF); false and no output when
// any sequence is malformed.
bool DecodeUtf8Strict(QByteArrayView bytes, QString& out);
// DecodeUtf8Strict into out, which has room for bytes.size() units; the units made, or -1.
qsizetype DecodeUtf8Into(QByteArrayView bytes, char16_t* out);
bool IsUtf8(QByteArrayView bytes);
void DecodeWindows1252Into(QByteArrayView bytes, char16_t* out);
QString DecodeWindows1252(QByteArrayView bytes);

// LF, CR LF and a lone CR each become CR LF.
QString NormalizeLineBreaks(QStringView text);
// What stands for the odd last byte of a UTF-16 file at the end of its text: CR, then U+DC00
// plus the byte. No file text holds it otherwise (see FileText).
QString OddByteMark(quint8 byte);
// Whether text[at] starts an odd-byte mark.
bool IsOddByteMark(QStringView text, qsizetype at);
// The decoded text with CR LF line breaks, then the odd-byte mark when there is an odd byte.
QString FileText(QByteArrayView bytes);

// ICU full case folding; turkic folds I to dotless i and dotted I to i.
QString FoldCase(QStringView text, bool turkic);
bool IsTurkicLocale(const QLocale& locale);
// IsTurkicLocale(QLocale::system()), taken once.
bool SystemIsTurkic();
// Equal when the full case foldings are identical: only letter case is ignored. The two-argument
// form folds by the rules of QLocale::system().
bool TextsEqual(const QString& reference, const QString& candidate, bool turkic);
bool TextsEqual(const QString& reference, const QString& candidate);
// What TextsEqual compares: two texts are equal exactly when their comparison forms are.
QString ComparisonForm(QStringView text);
// Appends FoldCase(text, turkic) to out; text must not end between the halves of a pair.
void AppendFoldedCase(QStringView text, bool turkic, QString& out);
// The comparison form of a file's text, ComparisonForm(FileText(bytes)), handed to sink piece by
// piece without ever being held whole. Returns the length of FileText(bytes).
qsizetype StreamComparisonForm(QByteArrayView bytes, const std::function<void(QStringView)>& sink);

// The loader counts bytes in a signed 32-bit number.
constexpr qint64 kFileSizeLimit = qint64(1) << 31;
// Characters a text pane accepts.
constexpr qsizetype kTextPaneCapacity = qsizetype(64) * 1024 * 1024;

// A length that FileText of any content of this many bytes beginning with head (its first three
// bytes, or all of them when fewer) reaches at least.
qint64 FileTextLengthAtLeast(qint64 size, QByteArrayView head);

// EFOpenError: "Impossible d'ouvrir le fichier "path". reason".
base::EFOpenError FileOpenError(const QString& path, const QString& reason);
// Raises FileOpenError(path, reason).
[[noreturn]] void ThrowFileOpenError(const QString& path, const QString& reason);
QString FileTooLargeReason();
// Raises EInvalidOperation as a text pane refuses a text longer than it holds.
[[noreturn]] void ThrowTextTooLong();

// The whole content of a regular file of less than 2 GiB, exactly as read. Raises EFOpenError
// ("Impossible d'ouvrir le fichier ...") or EOutOfMemory.
QByteArray ReadFileBytes(const QString& path);
// Reads an open descriptor until end of file; sizeHint only sizes the first buffer. Raises
// EFOpenError naming path when a read fails or the content reaches 2 GiB.
QByteArray ReadDescriptor(int fd, qint64 sizeHint, const QString& path);
// FileText of ReadFileBytes; raises what ReadFileBytes raises and EOutOfMemory.
QString LoadTextFile(const QString& path);
// LoadTextFile when its text holds at most maxLength characters; false, without holding the
// file's text, when it holds more. Raises what LoadTextFile raises.
bool LoadTextFileWithin(const QString& path, qint64 maxLength, QString& text);
