/* Linked into every shipped program (tavolin_program): the program's own
 * versions of two hooks MinGW's start-up code calls, so that the run-time
 * library's versions, and what they pull in, stay out of the executable.
 *
 * _pei386_runtime_relocator: the library's version patches the program's
 * references to data imported from DLLs without dllimport ("pseudo
 * relocations"; it brings VirtualProtect, VirtualQuery and an error path
 * with its own formatting). The programs never need one: they are linked
 * with --disable-auto-import, so such a reference fails the link instead of
 * becoming a pseudo relocation, and the list stays empty. Should the
 * library's version be pulled in after all, the two definitions clash and
 * the link fails too.
 *
 * _matherr: the library's version prints math errors to stderr (pulling in
 * fprintf) and is installed only when _MINGW_INSTALL_DEBUG_MATHERR is set,
 * which the programs never do; returning 0 is the default handling. */

struct _exception;

void _pei386_runtime_relocator(void)
{
}

int __cdecl _matherr(struct _exception *error)
{
    (void)error;
    return 0;
}
