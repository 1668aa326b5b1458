/*
 * call_check.h - shared by the two examples: CHECKED_CALL makes one call,
 * reads the stack pointer before and after it and prints one line to
 * standard error:
 *   <name> = <result>, stack pointer kept
 *   <name> = <result>, stack pointer moved by <n> bytes
 * A call through a declaration of the wrong calling convention moves it.
 * Standard error, because the report exports close standard output.
 */
#ifndef CALL_CHECK_H
#define CALL_CHECK_H

#include <stdio.h>

#ifdef _MSC_VER
/* Braces, and __asm on the instruction: inside a macro a bare __asm would
   run to the end of the macro's one logical line. */
#define READ_STACK_POINTER(var) __asm { __asm mov var, esp }
#else
#define READ_STACK_POINTER(var) __asm__ __volatile__("movl %%esp, %0" : "=g"(var) : : "memory")
#endif

/* Prints the line of one call; 1 when the stack pointer moved, else 0. */
static int ReportCall(const char* name, long result, long moved)
{
    if (moved == 0) {
        fprintf(stderr, "%s = %ld, stack pointer kept\n", name, result);
        return 0;
    }
    fprintf(stderr, "%s = %ld, stack pointer moved by %ld bytes\n", name, result, moved);
    return 1;
}

/* Adds 1 to `moved` when the call moved the stack pointer. */
#define CHECKED_CALL(name, call, moved)                                  \
    do {                                                                 \
        unsigned long before_, after_;                                   \
        long result_;                                                    \
        READ_STACK_POINTER(before_);                                     \
        result_ = (long)(call);                                          \
        READ_STACK_POINTER(after_);                                      \
        (moved) += ReportCall((name), result_, (long)(after_ - before_)); \
    } while (0)

#endif /* CALL_CHECK_H */
