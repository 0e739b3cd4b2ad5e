// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <array>
#include <bit>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Finds a word by two of its rarest bytes, sixteen places at a time, then compares the rest.
class WordFinder {
public:
    WordFinder(const QByteArray& word, const std::array<quint64, 256>& counts) : m_word(word) {
        const auto rarer = [&](qsizetype a, qsizetype b) {
            return counts[uchar(word[a])] < counts[uchar(word[b])];
        };
        for (qsizetype i = 1; i < word.size(); ++i) {
            if (rarer(i, m_first))
                m_first = i;
        }
        m_second = m_first == 0 ? 1 : 0;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (i != m_first && rarer(i, m_second))
                m_second = i;
        }
    }

    const char* find(const char* p, const char* end) const {
        const qsizetype n = m_word.size();
        if (end - p < n)
            return nullptr;
        const char* word = m_word.constData();
        if (n == 1)
            return static_cast<const char*>(std::memchr(p, word[0], size_t(end - p)));
        const char* last = end - n; // the last place a match can start
        const char first = word[m_first];
        const char second = word[m_second];
#ifdef __SSE2__
        const __m128i firsts = _mm_set1_epi8(first);
        const __m128i seconds = _mm_set1_epi8(second);
        for (; last - p >= 15; p += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + m_first));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + m_second));
            unsigned mask = unsigned(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, seconds))));
            while (mask) {
                const char* at = p + std::countr_zero(mask);
                if (std::memcmp(at, word, size_t(n)) == 0)
                    return at;
                mask &= mask - 1;
            }
        }
#endif
        for (; p <= last; ++p) {
            if (p[m_first] == first && p[m_second] == second &&
                std::memcmp(p, word, size_t(n)) == 0)
                return p;
        }
        return nullptr;
    }

private:
    QByteArray m_word;
    qsizetype m_first = 0;
    qsizetype m_second = 0;
};
