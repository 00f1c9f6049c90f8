#include "cli/Suggest.h"

#include <algorithm>
#include <cctype>

namespace cli {

int EditDistance(const std::string& a, const std::string& b) {
    const auto lower = [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); };
    const std::size_t n = a.size(), m = b.size();
    // Three rows of the optimal-string-alignment table.
    std::vector<int> before(m + 1), previous(m + 1), current(m + 1);
    for (std::size_t j = 0; j <= m; ++j)
        previous[j] = int(j);
    for (std::size_t i = 1; i <= n; ++i) {
        current[0] = int(i);
        for (std::size_t j = 1; j <= m; ++j) {
            const int cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) && lower(a[i - 2]) == lower(b[j - 1]))
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[m];
}

std::string ClosestName(const std::string& wanted, const std::vector<std::string>& names) {
    std::string best;
    int bestDistance = 0;
    for (const std::string& name : names) {
        const int d = EditDistance(wanted, name);
        const int allowed = std::max<int>(1, int(std::max(wanted.size(), name.size())) / 3);
        if (d <= allowed && (best.empty() || d < bestDistance)) {
            best = name;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace cli
