/* Converts argv[1] into argv[2] in binary and counts the messages. */
#include <stdio.h>
#include <torvo/torvo.h>

static void count(void* user, const char* text, size_t length) {
  (void)text;
  *(size_t*)user += length;
}

int main(int argc, char** argv) {
  torvo_options options;
  size_t bytes = 0;
  int result;
  if (argc != 3) return 2;
  torvo_default_options(&options);
  options.binary = 1;
  options.template_file = TEMPLATE_FILE;
  result = torvo_convert(argv[1], argv[2], &options, count, &bytes);
  printf("result %d, %s messages\n", result, bytes > 0 ? "with" : "without");
  return result;
}
