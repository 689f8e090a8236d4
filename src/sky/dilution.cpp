#include "dilution.h"

#include <array>
#include <cmath>
#include <numbers>

namespace vadrel {

namespace {

constexpr double radians_per_degree = std::numbers::pi / 180.0;

// The diagonal of the inverse of a symmetric positive matrix of size n (3 or
// 4), by Gauss-Jordan elimination with partial pivoting; nothing when a
// pivot vanishes against the matrix's size.
template <std::size_t n>
std::optional<std::array<double, n>> inverse_diagonal(std::array<std::array<double, n>, n> m) {
    std::array<std::array<double, n>, n> inv{};
    double scale = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        inv[i][i] = 1.0;
        for (std::size_t j = 0; j < n; ++j) scale = std::fmax(scale, std::fabs(m[i][j]));
    }
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r) {
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        }
        if (!(std::fabs(m[pivot][col]) > 1e-12 * scale)) return std::nullopt;
        std::swap(m[pivot], m[col]);
        std::swap(inv[pivot], inv[col]);
        const double p = m[col][col];
        for (std::size_t j = 0; j < n; ++j) {
            m[col][j] /= p;
            inv[col][j] /= p;
        }
        for (std::size_t r = 0; r < n; ++r) {
            if (r == col) continue;
            const double f = m[r][col];
            for (std::size_t j = 0; j < n; ++j) {
                m[r][j] -= f * m[col][j];
                inv[r][j] -= f * inv[col][j];
            }
        }
    }
    std::array<double, n> diagonal{};
    for (std::size_t i = 0; i < n; ++i) {
        if (!(inv[i][i] > 0.0) || !std::isfinite(inv[i][i])) return std::nullopt;
        diagonal[i] = inv[i][i];
    }
    return diagonal;
}

// GᵀG of the lines of sight, with the up column or without it.
template <std::size_t n>
std::array<std::array<double, n>, n> normal_matrix(std::span<const Direction> used) {
    std::array<std::array<double, n>, n> m{};
    for (const Direction& d : used) {
        const double e = d.elevation * radians_per_degree;
        const double a = d.azimuth * radians_per_degree;
        std::array<double, n> row{};
        row[0] = std::cos(e) * std::sin(a);
        row[1] = std::cos(e) * std::cos(a);
        if constexpr (n == 4) row[2] = std::sin(e);
        row[n - 1] = 1.0;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) m[i][j] += row[i] * row[j];
        }
    }
    return m;
}

}  // namespace

std::optional<Dilution> dilution_3d(std::span<const Direction> used) {
    if (used.size() < 4) return std::nullopt;
    const auto q = inverse_diagonal(normal_matrix<4>(used));
    if (!q) return std::nullopt;
    const auto [ee, nn, uu, tt] = *q;
    return Dilution{std::sqrt(ee + nn + uu + tt), std::sqrt(ee + nn + uu), std::sqrt(ee + nn), std::sqrt(uu),
                    std::sqrt(tt)};
}

std::optional<Dilution> dilution_2d(std::span<const Direction> used) {
    if (used.size() < 3) return std::nullopt;
    const auto q = inverse_diagonal(normal_matrix<3>(used));
    if (!q) return std::nullopt;
    const auto [ee, nn, tt] = *q;
    return Dilution{std::sqrt(ee + nn + tt), std::sqrt(ee + nn), std::sqrt(ee + nn), 0.0, std::sqrt(tt)};
}

}  // namespace vadrel
