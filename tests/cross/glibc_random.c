/* glibc_random.c — the GNU C library's unseeded rand()/random() sequence
 * (its additive feedback generator, TYPE_3, seed 1), for the Windows frame
 * tool variant that tests/cross/compare_builds.sh compares picture by picture
 * with Linux's: msvcrt's rand() draws other numbers, so without this the
 * scenes with random draws could not be compared at all. Never part of the
 * show itself. On Windows the show's random() calls rand(), so one sequence
 * serves both, as in the GNU C library. */
#include <stdint.h>

static uint32_t recent[31];   /* the last 31 values of the sequence, oldest at `oldest` */
static int oldest = 0;
static int seeded = 0;

static void seed_with_one(void)
{
    uint32_t values[344];
    values[0] = 1;
    for (int i = 1; i < 31; i++) {
        int64_t next = (16807LL * (int32_t)values[i - 1]) % 2147483647;
        values[i] = (uint32_t)(next < 0 ? next + 2147483647 : next);
    }
    for (int i = 31; i < 34; i++)
        values[i] = values[i - 31];
    for (int i = 34; i < 344; i++)   /* the first 310 sums are thrown away */
        values[i] = values[i - 31] + values[i - 3];
    for (int i = 0; i < 31; i++)
        recent[i] = values[313 + i];
    seeded = 1;
}

int rand(void)
{
    if (!seeded)
        seed_with_one();
    uint32_t next = recent[oldest] + recent[(oldest + 28) % 31];   /* value i-31 plus value i-3 */
    recent[oldest] = next;
    oldest = (oldest + 1) % 31;
    return (int)(next >> 1);
}
