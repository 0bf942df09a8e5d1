#include "kept/FinderSort.h"

#include <unicode/coll.h>
#include <unicode/locid.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace kept {

namespace {

// The user's locale, except that the C/POSIX locale (which ICU reads as
// en_US_POSIX, a code-point order) gives the language-neutral root order.
icu::Locale SortingLocale() {
    const icu::Locale& locale = icu::Locale::getDefault();
    return std::string_view(locale.getVariant()) == "POSIX" ? icu::Locale::getRoot() : locale;
}

std::unique_ptr<icu::Collator> MakeCollator() {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(SortingLocale(), status));
    if (U_FAILURE(status) || !collator) {
        status = U_ZERO_ERROR;
        collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
    }
    if (!collator) {
        return nullptr;
    }
    // Secondary strength ignores case and width but keeps accents; with
    // non-ignorable punctuation "a-b" and "ab" stay apart.
    collator->setStrength(icu::Collator::SECONDARY);
    collator->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    collator->setAttribute(UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, status);
    collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
    return collator;
}

// A collator is not safe to share between threads; each thread gets its own.
icu::Collator* ThreadCollator() {
    thread_local std::unique_ptr<icu::Collator> collator = MakeCollator();
    return collator.get();
}

}  // namespace

int CompareLikeTheFinder(const std::string& a, const std::string& b, void* /*context*/) {
    icu::Collator* collator = ThreadCollator();
    if (!collator) {
        return a.compare(b);
    }
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = collator->compareUTF8(
        icu::StringPiece(a.data(), static_cast<std::int32_t>(a.size())),
        icu::StringPiece(b.data(), static_cast<std::int32_t>(b.size())), status);
    return U_FAILURE(status) ? a.compare(b) : static_cast<int>(result);
}

void SortCFMutableArrayOfCFStringsLikeTheFinder(std::vector<std::string>& array) {
    std::stable_sort(array.begin(), array.end(), [](const std::string& a, const std::string& b) {
        return CompareLikeTheFinder(a, b) < 0;
    });
}

}  // namespace kept
