/* Integer division for ARMv4, which has no divide instruction: the helper
 * routines the ARM EABI names and clang calls for '/' and '%'. Shift and
 * subtract, written without '/' or '%' so they cannot call themselves.
 * The divmod forms return the quotient in r0 and the remainder in r1 (a
 * 64-bit result, low word first). A division by zero gives a quotient of 0
 * and the dividend as remainder instead of a trap.
 */
typedef unsigned int u32;
typedef unsigned long long u64;

static u64 udivmod(u32 n, u32 d) {
  u32 q = 0, r = 0;
  int bit;
  if (d == 0) return (u64)n << 32;
  for (bit = 31; bit >= 0; --bit) {
    r = (r << 1) | ((n >> bit) & 1);
    if (r >= d) {
      r -= d;
      q |= 1u << bit;
    }
  }
  return (u64)r << 32 | q;
}

static u64 sdivmod(int n, int d) {
  u32 un = n < 0 ? 0u - (u32)n : (u32)n;
  u32 ud = d < 0 ? 0u - (u32)d : (u32)d;
  u64 qr = udivmod(un, ud);
  u32 q = (u32)qr, r = (u32)(qr >> 32);
  if (d == 0) return (u64)(u32)n << 32;
  if ((n < 0) != (d < 0)) q = 0u - q;  /* the quotient rounds toward zero */
  if (n < 0) r = 0u - r;               /* the remainder takes the dividend's sign */
  return (u64)r << 32 | q;
}

u32 __aeabi_uidiv(u32 n, u32 d) { return (u32)udivmod(n, d); }
u64 __aeabi_uidivmod(u32 n, u32 d) { return udivmod(n, d); }
int __aeabi_idiv(int n, int d) { return (int)(u32)sdivmod(n, d); }
u64 __aeabi_idivmod(int n, int d) { return sdivmod(n, d); }
