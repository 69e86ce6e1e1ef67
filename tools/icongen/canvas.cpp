#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace icongen {

Color rgb(int r, int g, int b, double a) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

Color mix(const Color& a, const Color& b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Shape circle(double cx, double cy, double r) {
  return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

Shape ellipse(double cx, double cy, double rx, double ry) {
  return [=](double x, double y) {
    double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
  };
}

Shape ring(double cx, double cy, double outer, double inner) {
  return [=](double x, double y) {
    double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
    return d <= outer * outer && d > inner * inner;
  };
}

Shape rect(double x0, double y0, double x1, double y1) {
  return [=](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Shape polygon(std::vector<Point> pts) {
  // Even-odd rule by crossing count.
  return [pts = std::move(pts)](double x, double y) {
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      const Point& a = pts[i];
      const Point& b = pts[j];
      if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) in = !in;
    }
    return in;
  };
}

Shape both(Shape a, Shape b) {
  return [=](double x, double y) { return a(x, y) && b(x, y); };
}
Shape without(Shape a, Shape b) {
  return [=](double x, double y) { return a(x, y) && !b(x, y); };
}

Paint solid(Color c) {
  return [=](double, double) { return c; };
}

Paint linear(Point p0, Color from, Point p1, Color to) {
  double dx = p1.x - p0.x, dy = p1.y - p0.y;
  double len2 = dx * dx + dy * dy;
  return [=](double x, double y) {
    double t = len2 > 0 ? ((x - p0.x) * dx + (y - p0.y) * dy) / len2 : 0;
    return mix(from, to, t);
  };
}

Paint radial(Point c, double r, Color inner, Color outer) {
  return [=](double x, double y) { return mix(inner, outer, std::hypot(x - c.x, y - c.y) / r); };
}

Canvas::Canvas(int pixels, double design, int subsamples)
    : size_(pixels), scale_(design / pixels), sub_(subsamples), px_(static_cast<size_t>(pixels) * pixels) {}

double Canvas::snap(double v) const { return std::round(v / scale_) * scale_; }

void Canvas::fill(const Shape& shape, const Paint& paint) {
  const double step = scale_ / sub_;
  const double samples = static_cast<double>(sub_) * sub_;
  for (int py = 0; py < size_; ++py) {
    for (int px = 0; px < size_; ++px) {
      int inside = 0;
      for (int sy = 0; sy < sub_; ++sy)
        for (int sx = 0; sx < sub_; ++sx)
          if (shape((px * sub_ + sx + 0.5) * step, (py * sub_ + sy + 0.5) * step)) ++inside;
      if (!inside) continue;
      Color c = paint((px + 0.5) * scale_, (py + 0.5) * scale_);
      double a = c.a * inside / samples;
      Premul& d = px_[static_cast<size_t>(py) * size_ + px];
      d.r = c.r * a + d.r * (1 - a);
      d.g = c.g * a + d.g * (1 - a);
      d.b = c.b * a + d.b * (1 - a);
      d.a = a + d.a * (1 - a);
    }
  }
}

std::vector<Pixel> Canvas::pixels() const {
  std::vector<Pixel> out(px_.size());
  auto byte = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  for (size_t i = 0; i < px_.size(); ++i) {
    const Premul& p = px_[i];
    if (p.a <= 0) continue;
    out[i] = {byte(p.r / p.a), byte(p.g / p.a), byte(p.b / p.a), byte(p.a)};
  }
  return out;
}

}  // namespace icongen
