#include "label_placement.h"

#include <algorithm>
#include <cmath>

namespace ternwick {

namespace {

// Rectangles bucketed by a coarse grid, so a candidate is checked against its neighbours
// only (500 aircraft with eight places each stay well under a millisecond).
class RectGrid {
public:
    RectGrid(double width, double height)
        : cols_(std::max(1, static_cast<int>(std::ceil(width / kCell)))),
          rows_(std::max(1, static_cast<int>(std::ceil(height / kCell)))),
          cells_(static_cast<size_t>(cols_ * rows_)) {}

    void Add(const LabelRect& r) {
        const int index = static_cast<int>(rects_.size());
        rects_.push_back(r);
        ForCells(r, [&](std::vector<int>& cell) { cell.push_back(index); });
    }
    bool Free(const LabelRect& r) const {
        bool free = true;
        const_cast<RectGrid*>(this)->ForCells(r, [&](std::vector<int>& cell) {
            for (int i : cell)
                if (free && rects_[static_cast<size_t>(i)].Overlaps(r)) free = false;
        });
        return free;
    }

private:
    static constexpr double kCell = 64.0;
    template <typename F>
    void ForCells(const LabelRect& r, F f) {
        const int c0 = std::clamp(static_cast<int>(std::floor(r.x / kCell)), 0, cols_ - 1);
        const int c1 = std::clamp(static_cast<int>(std::floor((r.x + r.w) / kCell)), 0, cols_ - 1);
        const int r0 = std::clamp(static_cast<int>(std::floor(r.y / kCell)), 0, rows_ - 1);
        const int r1 = std::clamp(static_cast<int>(std::floor((r.y + r.h) / kCell)), 0, rows_ - 1);
        for (int row = r0; row <= r1; ++row)
            for (int col = c0; col <= c1; ++col) f(cells_[static_cast<size_t>(row * cols_ + col)]);
    }
    int cols_, rows_;
    std::vector<std::vector<int>> cells_;
    std::vector<LabelRect> rects_;
};

}  // namespace

std::vector<std::optional<LabelRect>> PlaceLabels(const std::vector<LabelRequest>& requests, double symbol_radius,
                                                  double width, double height,
                                                  const std::vector<LabelRect>& blocked) {
    std::vector<std::optional<LabelRect>> placed(requests.size());
    RectGrid taken(width, height);
    const double r = symbol_radius;
    for (const LabelRequest& q : requests) taken.Add({q.x - r, q.y - r, 2 * r, 2 * r});
    for (const LabelRect& b : blocked) taken.Add(b);

    auto place = [&](size_t i) {
        const LabelRequest& q = requests[i];
        const double w = q.w, h = q.h, g = 2.0;
        // Right first (where the eye looks for it), then left, the four corners, above and
        // below; then the same further out (the map draws a leader line to those).
        const double left = q.x - r - w, right = q.x + r, up = q.y - r - h, down = q.y + r;
        const double dirs[][2] = {{1, 0}, {-1, 0}, {1, -1}, {1, 1}, {-1, -1}, {-1, 1}, {0, -1}, {0, 1}};
        for (const double out : {g, r, 2.5 * r, 4 * r}) {
            for (const auto& d : dirs) {
                const double x = d[0] > 0 ? right + out : (d[0] < 0 ? left - out : q.x - w / 2);
                const double y = d[1] < 0 ? up - out * (d[0] == 0 ? 1 : 0.5)
                                          : (d[1] > 0 ? down + out * (d[0] == 0 ? 1 : 0.5) : q.y - h / 2);
                const LabelRect c{x, y, w, h};
                if (c.x < 0 || c.y < 0 || c.x + w > width || c.y + h > height) continue;
                if (!taken.Free(c)) continue;
                taken.Add(c);
                placed[i] = c;
                return;
            }
        }
        if (!q.forced) return;
        placed[i] = LabelRect{right + g, q.y - h / 2, w, h};
        taken.Add(*placed[i]);
    };
    for (size_t i = 0; i < requests.size(); ++i)
        if (requests[i].forced) place(i);
    for (size_t i = 0; i < requests.size(); ++i)
        if (!requests[i].forced) place(i);
    return placed;
}

}  // namespace ternwick
