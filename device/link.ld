/* The layout of a device library before the image tool makes it a PE file:
 * each output section on its own page from 0x10001000 (the image base is
 * 0x10000000 and its first page holds the PE headers), so that an
 * address minus the image base is the section's RVA. .bss goes into .data,
 * so that every section is initialized data in the file.
 */
SECTIONS
{
  . = 0x10001000;
  .text : { *(.text .text.*) }
  . = ALIGN(0x1000);
  .rdata : { *(.rodata .rodata.*) }
  . = ALIGN(0x1000);
  .data : { *(.data .data.*) *(.bss .bss.* COMMON) }

  /* What a device library cannot have: constructors run at load and
   * thread-local data; the image tool refuses them as well. */
  .init_array : { *(.init_array .init_array.*) *(.ctors .ctors.*) }
  ASSERT(SIZEOF(.init_array) == 0, "static constructors are not supported on the device")
  .tdata : { *(.tdata .tdata.*) *(.tbss .tbss.*) }
  ASSERT(SIZEOF(.tdata) == 0, "thread-local data is not supported on the device")

  /DISCARD/ : { *(.ARM.exidx*) *(.ARM.extab*) *(.ARM.attributes) *(.comment) *(.note*) }
}
