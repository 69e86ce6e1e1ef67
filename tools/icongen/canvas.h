// A tiny anti-aliased canvas for drawing icons as code. Shapes are given in
// design units (a square of `design` units maps onto the image); every pixel
// is sampled on a grid of sub-pixels and a shape covers the pixel by the
// share of sub-pixels inside it. Paint is straight (not premultiplied) RGBA.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace icongen {

struct Color {
  double r = 0, g = 0, b = 0, a = 1;  // 0..1
};
Color rgb(int r, int g, int b, double a = 1.0);
Color mix(const Color& a, const Color& b, double t);

struct Point {
  double x, y;
};

// A region of the design square: true for points inside.
using Shape = std::function<bool(double x, double y)>;
// The colour of a filled region at a point of the design square.
using Paint = std::function<Color(double x, double y)>;

Shape circle(double cx, double cy, double r);
Shape ellipse(double cx, double cy, double rx, double ry);
Shape ring(double cx, double cy, double outer, double inner);
Shape rect(double x0, double y0, double x1, double y1);
Shape polygon(std::vector<Point> points);
Shape both(Shape a, Shape b);     // intersection
Shape without(Shape a, Shape b);  // a minus b

Paint solid(Color c);
// Linear gradient from `from` at point p0 to `to` at point p1.
Paint linear(Point p0, Color from, Point p1, Color to);
// Radial gradient from `inner` at the centre to `outer` at radius r.
Paint radial(Point centre, double r, Color inner, Color outer);

// One 8-bit pixel, straight alpha.
struct Pixel {
  uint8_t r = 0, g = 0, b = 0, a = 0;
};

class Canvas {
 public:
  Canvas(int pixels, double design, int subsamples = 8);

  int size() const { return size_; }
  // Design units per pixel is design/size; this rounds a design coordinate
  // to the nearest pixel edge so that straight edges stay crisp.
  double snap(double v) const;

  void fill(const Shape& shape, const Paint& paint);
  void fill(const Shape& shape, Color c) { fill(shape, solid(c)); }

  std::vector<Pixel> pixels() const;

 private:
  struct Premul {
    double r = 0, g = 0, b = 0, a = 0;
  };
  int size_;
  double scale_;  // design units per pixel
  int sub_;
  std::vector<Premul> px_;
};

}  // namespace icongen
