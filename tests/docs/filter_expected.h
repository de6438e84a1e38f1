/** @file
 * filter_input.h - what the docs filter makes of each kind of comment.
 */
#ifndef FILTER_INPUT_H
#define FILTER_INPUT_H

/** Error codes of the test. */
#define tErrNone 0
#define tErrBad 16 /**< the object is bad */
#define tErrWorse(x) (x + 1) /**< @copydoc tErrNone */

/** A function. */
NYX_API int tf(int a,
               int b);
NYX_API int tg(int a,
               int b); /**< @copydoc tf */
enum {
    tA = 1, /**< first */
    tB = 2
};

/* ==== A section ruler stays a plain comment ==== */

/** A structure whose members are documented after them. */
typedef struct tPair {
    int first;  /**< the first word */
    int second; /**< the second word */
} tPair;
#endif /* FILTER_INPUT_H */
