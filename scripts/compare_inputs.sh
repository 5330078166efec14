# Sourced by the comparison scripts: fills folder $1 with the drawings that
# old and new tools are compared on, made by the tools of build folder $2:
# the samples, the fuzz regressions, a typical and a mixed drawing of 3 MB,
# and $3 random documents of seed $4 (in $1/random).
compare_inputs() {
  local dir=$1 build=$2 count=$3 seed=$4 f
  mkdir -p "$dir/random"
  cp samples/*.q6 "$dir/"
  for f in fuzz/regressions/*/*; do
    case $f in *.md) ;; *) cp "$f" "$dir/regression-$(basename "$(dirname "$f")")-$(basename "$f")" ;; esac
  done
  "$build/bin/make_drawing" "$dir/typical.q6" 3 --typical --seed 5 >/dev/null
  "$build/bin/make_drawing" "$dir/mix.q6" 3 --seed 6 >/dev/null
  "$build/bin/make_random_docs" "$dir/random" "$count" --seed "$seed" >/dev/null
}
