/* A tiny device library for the image tool's tests: a platform call by
 * ordinal and one by name, a division (the runtime's helper), an address in
 * data (a base relocation), a named and an ordinal-only export. */
int MessageBoxW(void* owner, const unsigned short* text, const unsigned short* caption, unsigned type);
int SHInitDialog(void* info);

static const unsigned short text[] = {'h', 'i', 0};
const unsigned short* table[] = {text, 0};
int counter;

int Tiny_Show(int n) {
  counter += 1000 / n;
  return MessageBoxW(0, table[0], text, 0) + SHInitDialog(0);
}

int Tiny_Hidden(void) { return counter; }

int DllMain(void* instance, unsigned reason, void* reserved) {
  (void)instance, (void)reason, (void)reserved;
  return 1;
}
