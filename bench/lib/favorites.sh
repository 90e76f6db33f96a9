# shellcheck shell=bash
# Sourced by the bench scripts that start the real binary with many favorites.

# write_favorites FILE N: N favorites of 200-character texts as the store writes them (members sorted),
# in the file of their own beside the settings.
write_favorites() {
  awk -v n="$2" 'BEGIN {
    s = "the quick brown fox jumps over the lazy dog "; t = "hizli kahverengi tilki tembel kopegin ustunden atlar "
    printf "["
    for (i = 0; i < n; i++) {
      a = i " "; while (length(a) < 200) a = a s; a = substr(a, 1, 200)
      b = i " "; while (length(b) < 200) b = b t; b = substr(b, 1, 200)
      printf "%s{\"date\":786000000.25,\"id\":\"%08X-0000-4000-8000-%012X\",\"serviceRawValue\":\"google\",", (i ? "," : ""), i, i
      printf "\"sourceLanguageCode\":\"en\",\"sourceText\":\"%s\",\"targetLanguageCode\":\"tr\",\"translatedText\":\"%s\"}", a, b
    }
    printf "]"
  }' >"$1"
}
