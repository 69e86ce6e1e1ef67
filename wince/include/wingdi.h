// Graphics: device contexts on the device's framebuffer, fonts and text,
// pens, brushes and lines.
#pragma once
#include "windef.h"

#define LF_FACESIZE 32
typedef struct tagLOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *PLOGFONTW, *LPLOGFONTW;
typedef LOGFONTW LOGFONT;

typedef struct tagTEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
} TEXTMETRICW, *PTEXTMETRICW, *LPTEXTMETRICW;
typedef TEXTMETRICW TEXTMETRIC;

typedef struct tagLOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;
  COLORREF lopnColor;
} LOGPEN;

typedef struct tagLOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  ULONG_PTR lbHatch;
} LOGBRUSH;
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL

#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define DEFAULT_CHARSET 1
#define ANSI_CHARSET 0
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR 0x02
#define TMPF_TRUETYPE 0x04
#define FF_DONTCARE (0 << 4)
#define FF_ROMAN (1 << 4)
#define FF_SWISS (2 << 4)

#define TRANSPARENT 1
#define OPAQUE 2

#define PS_SOLID 0
#define PS_DASH 1
#define PS_NULL 5

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define LOGPIXELSX 88
#define LOGPIXELSY 90

#define CLR_INVALID 0xFFFFFFFF

WINGDIAPI HGDIOBJ WINAPI GetStockObject(int i);
WINGDIAPI HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
WINGDIAPI BOOL WINAPI DeleteObject(HGDIOBJ ho);
WINGDIAPI int WINAPI GetObjectW(HGDIOBJ h, int c, LPVOID pv);
WINGDIAPI HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lplf);
WINGDIAPI HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color);
WINGDIAPI HBRUSH WINAPI CreateSolidBrush(COLORREF color);
WINGDIAPI int WINAPI GetDeviceCaps(HDC hdc, int index);
WINGDIAPI BOOL WINAPI GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm);
WINGDIAPI BOOL WINAPI GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl);
WINGDIAPI BOOL WINAPI ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* lprect, LPCWSTR lpString,
                                  UINT c, const INT* lpDx);
WINGDIAPI COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
WINGDIAPI COLORREF WINAPI GetTextColor(HDC hdc);
WINGDIAPI COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
WINGDIAPI int WINAPI SetBkMode(HDC hdc, int mode);
WINGDIAPI int WINAPI GetBkMode(HDC hdc);
WINGDIAPI BOOL WINAPI Polyline(HDC hdc, const POINT* apt, int cpt);
WINGDIAPI BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);
WINGDIAPI BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom);
WINGDIAPI COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);
WINGDIAPI COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004
