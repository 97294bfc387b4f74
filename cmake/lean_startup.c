/* Linked into every shipped program (tavolin_program): the program's own
 * versions of four hooks MinGW's start-up code calls, so that the run-time
 * library's versions, and what they pull in, stay out of the executable.
 * Should a library's version be pulled in after all (something needing what
 * it does), the two definitions clash and the link fails.
 *
 * _pei386_runtime_relocator: the library's version patches the program's
 * references to data imported from DLLs without dllimport ("pseudo
 * relocations"; it brings VirtualProtect, VirtualQuery and an error path
 * with its own formatting). The programs never need one: they are linked
 * with --disable-auto-import, so such a reference fails the link instead of
 * becoming a pseudo relocation, and the list stays empty.
 *
 * _matherr, __mingw_setusermatherr: the library's _matherr prints math
 * errors to stderr (pulling in fprintf). The start-up code installs it,
 * through __mingw_setusermatherr, only when _MINGW_INSTALL_DEBUG_MATHERR is
 * set, which the programs never do: neither is ever called. Returning 0 is
 * the default handling.
 *
 * __mingw_TLScallback: the library's version (the TLS callback) also keeps
 * a list of destructors for thread-local keys, under a critical section of
 * its own, and runs them as threads and the process end. Only
 * ___w64_mingwthr_add_key_dtor, from the same library file, fills that list,
 * and nothing in the programs calls it. What remains is the FPU reset it
 * gives each new thread, kept here. */

struct _exception;

void _pei386_runtime_relocator(void)
{
}

int __cdecl _matherr(struct _exception *error)
{
    (void)error;
    return 0;
}

void __mingw_setusermatherr(int(__cdecl *handler)(struct _exception *));

void __mingw_setusermatherr(int(__cdecl *handler)(struct _exception *))
{
    (void)handler;
}

void __cdecl _fpreset(void);
int __mingw_TLScallback(void *module, unsigned long reason, void *reserved);

int __mingw_TLScallback(void *module, unsigned long reason, void *reserved)
{
    enum { ThreadAttach = 2 }; /* DLL_THREAD_ATTACH */
    (void)module;
    (void)reserved;
    if (reason == ThreadAttach)
        _fpreset();
    return 1;
}
