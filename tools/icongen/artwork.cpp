#include "artwork.h"

namespace icongen {

namespace {

constexpr double kDesign = 24.0;  // all art is drawn on a 24 x 24 unit square
constexpr Point kMid{12, 12};

const Color kGlyph = rgb(22, 34, 64);

enum class Face { Normal, Pressed };
enum class Glyph { Play, Pause, Stop, Previous, Next };

// The round button face. Normal: a light blue-white face with a soft blue
// rim. Pressed: a green face inside a blue ring.
void drawFace(Canvas& c, Face face) {
  const double outer = 11.7;
  if (face == Face::Normal) {
    c.fill(circle(kMid.x, kMid.y, outer), linear({0, 0}, rgb(128, 160, 214), {0, 24}, rgb(50, 82, 148)));
    const double r = outer - 1.1;
    c.fill(circle(kMid.x, kMid.y, r), linear({0, 2}, rgb(255, 255, 255), {0, 22}, rgb(188, 212, 242)));
    // Gloss on the upper half.
    c.fill(both(circle(kMid.x, kMid.y, r), ellipse(12, 6.8, 8.2, 4.6)), rgb(255, 255, 255, 0.55));
  } else {
    c.fill(circle(kMid.x, kMid.y, outer), linear({0, 0}, rgb(82, 140, 240), {0, 24}, rgb(18, 58, 170)));
    const double r = outer - 2.2;
    c.fill(circle(kMid.x, kMid.y, r), linear({0, 3}, rgb(166, 232, 128), {0, 21}, rgb(44, 150, 52)));
    c.fill(both(circle(kMid.x, kMid.y, r), ellipse(12, 7.4, 7.0, 3.8)), rgb(255, 255, 255, 0.35));
  }
}

// Right-pointing triangle with its upright edge at x, height from top to bottom.
Shape rightTriangle(double x, double top, double bottom, double tipX) {
  return polygon({{x, top}, {x, bottom}, {tipX, (top + bottom) / 2}});
}
Shape leftTriangle(double x, double top, double bottom, double tipX) {
  return polygon({{x, top}, {tipX, (top + bottom) / 2}, {x, bottom}});
}

void drawGlyph(Canvas& c, Glyph g) {
  // Straight edges are snapped to pixel edges; slanted ones are left to
  // anti-aliasing.
  auto bar = [&](double x0, double x1, double y0, double y1) {
    c.fill(rect(c.snap(x0), c.snap(y0), c.snap(x1), c.snap(y1)), kGlyph);
  };
  switch (g) {
    case Glyph::Play:
      c.fill(rightTriangle(c.snap(9), 6.6, 17.4, 17.8), kGlyph);
      break;
    case Glyph::Pause:
      bar(8, 11, 7, 17);
      bar(13, 16, 7, 17);
      break;
    case Glyph::Stop:
      bar(8, 16, 8, 16);
      break;
    case Glyph::Previous:
      bar(6.5, 8.5, 7.5, 16.5);
      c.fill(leftTriangle(c.snap(17.5), 7, 17, 9.4), kGlyph);
      break;
    case Glyph::Next:
      c.fill(rightTriangle(c.snap(6.5), 7, 17, 14.6), kGlyph);
      bar(15.5, 17.5, 7.5, 16.5);
      break;
  }
}

IconArt button(int id, Face face, Glyph glyph, std::vector<int> sizes) {
  return {"icon_" + std::to_string(id) + ".ico", std::move(sizes), 32, [=](Canvas& c) {
            drawFace(c, face);
            drawGlyph(c, glyph);
          }};
}

// 101: the player logo, an orange disc in a blue ring with a white play
// triangle.
void drawLogo(Canvas& c) {
  c.fill(circle(kMid.x, kMid.y, 11.8), linear({0, 0}, rgb(70, 130, 235), {0, 24}, rgb(16, 50, 150)));
  c.fill(circle(kMid.x, kMid.y, 9.4), radial({10, 8}, 12, rgb(255, 200, 90), rgb(228, 96, 12)));
  c.fill(both(circle(kMid.x, kMid.y, 9.4), ellipse(12, 7.2, 7.0, 3.6)), rgb(255, 255, 255, 0.30));
  // A dark offset copy keeps the white triangle readable on the light disc.
  c.fill(rightTriangle(9.4, 7.4, 17.8, 18.4), rgb(120, 40, 0, 0.45));
  c.fill(rightTriangle(8.9, 6.6, 17.0, 17.8), rgb(255, 255, 255));
}

// setup 102: a software package, a cardboard box with a disc in front.
void drawPackage(Canvas& c) {
  const Color outline = rgb(84, 54, 24);
  c.fill(polygon({{1.9, 9.6}, {7.6, 4.9}, {21.4, 4.9}, {21.4, 17.2}, {15.4, 22.1}, {1.9, 22.1}}), outline);
  // Top, front and side faces.
  c.fill(polygon({{3, 10}, {8, 6}, {20.3, 6}, {15.2, 10}}), rgb(238, 206, 150));
  c.fill(rect(3, 10.6, 15.2, 21), linear({3, 10}, rgb(216, 170, 104), {15, 21}, rgb(184, 132, 70)));
  c.fill(polygon({{15.8, 10.3}, {20.3, 6.8}, {20.3, 16.8}, {15.8, 20.7}}), rgb(150, 104, 52));
  const bool small = c.size() <= 16;
  if (!small) {
    // Tape across the top and down the front.
    c.fill(polygon({{7.6, 10}, {12.6, 6}, {14.2, 6}, {9.2, 10}}), rgb(250, 238, 210));
    c.fill(rect(7.6, 10.6, 9.2, 14), rgb(240, 226, 196));
  }

  // The disc, with the box showing through its hole. At 16 pixels it is a
  // little smaller and plainer so that it stays a disc.
  const Point d = small ? Point{16, 16} : Point{15.6, 15.6};
  const double r = small ? 6.2 : 6.8;
  const Shape hole = circle(d.x, d.y, small ? 1.6 : 1.5);
  c.fill(without(circle(d.x, d.y, r + (small ? 1.2 : 0.8)), hole), rgb(70, 72, 88));
  c.fill(without(circle(d.x, d.y, r), hole), radial({d.x - 2, d.y - 2.5}, 9, rgb(250, 252, 255), rgb(160, 168, 190)));
  if (!small)
    c.fill(without(ring(d.x, d.y, 5.6, 3.4), hole),
           linear({10, 10}, rgb(150, 200, 255, 0.55), {21, 21}, rgb(255, 170, 220, 0.55)));
  c.fill(ring(d.x, d.y, small ? 2.8 : 2.5, small ? 1.6 : 1.5), rgb(120, 124, 140));
}

}  // namespace

std::vector<IconArt> allIcons() {
  std::vector<IconArt> icons;
  icons.push_back({"icon_101.ico", {16, 32, 48}, 32, drawLogo});
  icons.push_back(button(103, Face::Normal, Glyph::Previous, {24}));
  icons.push_back(button(104, Face::Pressed, Glyph::Previous, {24}));
  icons.push_back(button(106, Face::Normal, Glyph::Next, {24}));
  icons.push_back(button(107, Face::Pressed, Glyph::Next, {24}));
  icons.push_back(button(108, Face::Normal, Glyph::Pause, {24}));
  icons.push_back(button(109, Face::Pressed, Glyph::Pause, {24}));
  icons.push_back(button(111, Face::Normal, Glyph::Play, {24, 32}));
  icons.push_back(button(112, Face::Pressed, Glyph::Play, {24, 32}));
  icons.push_back(button(114, Face::Normal, Glyph::Stop, {24}));
  icons.push_back(button(115, Face::Pressed, Glyph::Stop, {24}));
  icons.push_back({"setup_102.ico", {16, 32}, 8, drawPackage});
  return icons;
}

double designSize() { return kDesign; }

}  // namespace icongen
