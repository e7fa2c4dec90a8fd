#include "scan/CandidatePrefix.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <memory>

namespace {

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};

using Code = std::unique_ptr<pcre2_code, CodeDeleter>;

Code compileNamePattern()
{
    static const char16_t pattern[] = u"^(LE )?([a-z]+)";
    std::unique_ptr<pcre2_compile_context, CompileContextDeleter> context(
        pcre2_compile_context_create(nullptr));
    if (!context)
        return nullptr;
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANY);
    int error = 0;
    PCRE2_SIZE offset = 0;
    return Code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                              PCRE2_CASELESS | PCRE2_UTF, &error, &offset, context.get()));
}

const pcre2_code* namePattern()
{
    static const Code code = compileNamePattern();
    return code.get();
}

QString leadingLetters(const QString& name)
{
    const pcre2_code* code = namePattern();
    if (!code)
        return name;
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> match(
        pcre2_match_data_create_from_pattern(code, nullptr));
    if (!match)
        return name;
    // A name that is not valid UTF-16 (a lone surrogate) is a match error: keep the whole name.
    const int result =
        pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(name.utf16()), PCRE2_SIZE(name.size()), 0,
                    PCRE2_NOTEMPTY, match.get(), nullptr);
    if (result < 0)
        return name;
    const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(match.get());
    return name.sliced(qsizetype(offsets[0]), qsizetype(offsets[1] - offsets[0]));
}

} // namespace

QString CandidatePrefix(const QString& name, int mode)
{
    switch (mode) {
    case 0:
        return leadingLetters(name);
    case 1:
        return name.left(1);
    case 2:
        return QString();
    default:
        return name;
    }
}

QString CandidateMask(const QString& name, int mode)
{
    return CandidatePrefix(name, mode) + QLatin1Char('*');
}
