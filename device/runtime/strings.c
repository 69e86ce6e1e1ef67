/* lstrcpynW, which COREDLL does not export: copies at most count - 1 UTF-16
 * units and always terminates (for count > 0), returning dest, as the
 * platform documents it.
 */
typedef unsigned short wchar16;

wchar16* lstrcpynW(wchar16* dest, const wchar16* src, int count) {
  wchar16* d = dest;
  if (count <= 0) return dest;
  while (--count > 0 && *src) *d++ = *src++;
  *d = 0;
  return dest;
}
