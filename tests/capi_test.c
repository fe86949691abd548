/* The C interface as a C program sees it: built against the installed
 * libvexo.so through pkg-config. Exits non-zero when any check fails. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <vexo.h>

static int failures = 0;

#define CHECK(cond)                                                  \
  do {                                                               \
    if (!(cond)) {                                                   \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                    \
    }                                                                \
  } while (0)

/* Compares a returned string with the expected text and releases it. */
static void expect_text(char* got, const char* want, int line) {
  if (got == NULL || strcmp(got, want) != 0) {
    fprintf(stderr, "%s:%d: got \"%s\", want \"%s\"\n", __FILE__, line,
            got ? got : "(null)", want);
    ++failures;
  }
  vexo_free(got);
}
#define EXPECT_TEXT(got, want) expect_text((got), (want), __LINE__)

static const char kInvalid[] = {'o', '\'', 'z', (char)0xC3, (char)0x28, 0};
static const char kShaharCyr[] = "\xD1\x88\xD0\xB0\xD2\xB3\xD0\xB0\xD1\x80";
static const char kSurrogate[] = {(char)0xED, (char)0xA0, (char)0x80, 0};

static void test_convert(void) {
  EXPECT_TEXT(vexo_convert("O'zbekiston shahar", 0), "\xC3\x96zbekiston \xC5\x9F" "ahar");
  EXPECT_TEXT(vexo_convert("", 0), "");
  EXPECT_TEXT(vexo_convert("ma'no", 0), "ma\xCA\xBCno");
  EXPECT_TEXT(vexo_convert("ma'no", 4), "ma'no");
  EXPECT_TEXT(vexo_convert("ma'no", 4u | 0xFFFFFFF0u), "ma'no"); /* high bits ignored */
  EXPECT_TEXT(vexo_convert("ma'no", 0xFFFFFFF0u), "ma\xCA\xBCno");
  EXPECT_TEXT(vexo_convert("flash", 0), "flash");            /* English */
  EXPECT_TEXT(vexo_convert("flash", 1), "fla\xC5\x9F");       /* guard off */
  EXPECT_TEXT(vexo_convert(kShaharCyr, 0), "\xC5\x9F" "ahar");
  EXPECT_TEXT(vexo_convert(kShaharCyr, 2), kShaharCyr); /* stays Cyrillic */
  EXPECT_TEXT(vexo_convert("ozbek", 0), "\xC3\xB6zbek");      /* apostrophe restored */
  EXPECT_TEXT(vexo_convert("ozbek", 8), "ozbek");
  CHECK(vexo_convert(NULL, 0) == NULL);
  CHECK(vexo_convert(kInvalid, 0) == NULL);
  CHECK(vexo_convert(kSurrogate, 0) == NULL);
}

static void test_to_old(void) {
  EXPECT_TEXT(vexo_to_old("\xC3\xB6zbek ma\xCA\xBCno", 0), "o\xCA\xBBzbek ma\xCA\xBCno");
  EXPECT_TEXT(vexo_to_old("\xC3\xB6zbek ma\xCA\xBCno", 1), "o'zbek ma'no");
  EXPECT_TEXT(vexo_to_old("\xC3\xB6zbek ma\xCA\xBCno", 7), "o'zbek ma'no");
  EXPECT_TEXT(vexo_to_old("", 0), "");
  CHECK(vexo_to_old(NULL, 1) == NULL);
  CHECK(vexo_to_old(kInvalid, 0) == NULL);
}

static void test_to_cyrillic(void) {
  EXPECT_TEXT(vexo_to_cyrillic("O'zbekiston shahar"),
              "\xD0\x8E\xD0\xB7\xD0\xB1\xD0\xB5\xD0\xBA\xD0\xB8\xD1\x81\xD1\x82\xD0\xBE"
              "\xD0\xBD \xD1\x88\xD0\xB0\xD2\xB3\xD0\xB0\xD1\x80"); /* Ўзбекистон шаҳар */
  EXPECT_TEXT(vexo_to_cyrillic(""), "");
  CHECK(vexo_to_cyrillic(NULL) == NULL);
  CHECK(vexo_to_cyrillic(kInvalid) == NULL);
}

static void test_session(void) {
  vexo_session* s = vexo_session_new();
  uint32_t count = 99;
  CHECK(s != NULL);

  CHECK(vexo_session_complete_word(s, "kitob", 0, &count) == NULL);
  CHECK(count == 99); /* untouched when the word stays */

  EXPECT_TEXT(vexo_session_complete_word(s, "o'zbek", 0, &count), "\xC3\xB6zbek");
  CHECK(count == 6);
  EXPECT_TEXT(vexo_session_complete_word(s, "shahar", 0, &count), "\xC5\x9F" "ahar");
  CHECK(count == 6);
  CHECK(vexo_session_complete_word(s, "ma'no", 4, NULL) == NULL); /* already as wanted */
  EXPECT_TEXT(vexo_session_complete_word(s, "ma'no,", 0, NULL), "ma\xCA\xBCno,");

  count = 99;
  CHECK(vexo_session_complete_word(s, "", 0, &count) == NULL);
  CHECK(vexo_session_complete_word(s, NULL, 0, &count) == NULL);
  CHECK(vexo_session_complete_word(s, kInvalid, 0, &count) == NULL);
  CHECK(vexo_session_complete_word(NULL, "shahar", 0, &count) == NULL);
  CHECK(vexo_session_complete_word(NULL, kInvalid, 0, &count) == NULL);
  CHECK(count == 99);

  /* An open quote makes a final apostrophe a closing quote until reset. */
  CHECK(vexo_session_complete_word(s, "'salom", 8, NULL) == NULL);
  CHECK(vexo_session_complete_word(s, "bog'", 8, NULL) == NULL);
  CHECK(vexo_session_complete_word(s, "'salom", 8, NULL) == NULL);
  vexo_session_reset(s);
  EXPECT_TEXT(vexo_session_complete_word(s, "bog'", 8, &count), "bo\xC4\x9F");
  CHECK(count == 4);

  vexo_session_reset(NULL);
  vexo_session_free(s);
  vexo_session_free(NULL);
  vexo_free(NULL);
}

int main(void) {
  vexo_warm_up();
  vexo_warm_up();
  test_convert();
  test_to_old();
  test_to_cyrillic();
  test_session();
  if (failures != 0) {
    fprintf(stderr, "%d check(s) failed\n", failures);
    return 1;
  }
  puts("all C interface checks passed");
  return 0;
}
