#!/usr/bin/env bash
# Measures what the tests catch: applies each small fault listed in scripts/mutants.txt to a
# copy of the tree, one at a time, rebuilds the targets it names, runs the tests that cover
# the code and records whether one failed. Prints each fault as caught or missed, and the
# score. The tree itself is never changed.
#
#   scripts/mutants.sh [options] [ID...]   every fault, or only these
#   scripts/mutants.sh --list              the faults, and whether their text is still found
#
#   --timeout SECONDS   for each fault's tests (default 600); a fault whose tests hang past
#                       it counts as caught, and says so
#   --jobs N            build and test jobs (default: the number of processors)
#   --no-baseline       skip running the tests on the code without faults first
#
# The copy and its build are in build-mutants/ (tree/, tree/build/), logs in build-mutants/logs/,
# the last results in build-mutants/results.txt. A fault whose text is not found is STALE, one
# that does not compile NOBUILD; neither counts as caught. Exits with 1 when a fault marked
# 'data: yes' (in what keeps users' data safe) is not caught.
set -euo pipefail
shopt -u patsub_replacement 2>/dev/null || true

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
list_file=$root/scripts/mutants.txt
work=$root/build-mutants
tree=$work/tree
build=$tree/build
logs=$work/logs

usage() {
    sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
}

die() {
    echo "mutants: $*" >&2
    exit 1
}

timeout_s=600
jobs=$(nproc)
baseline=1
list_only=0
wanted=()
while (($#)); do
    case $1 in
        --list) list_only=1 ;;
        --timeout) [[ ${2:-} =~ ^[0-9]+$ ]] || usage; timeout_s=$2; shift ;;
        --jobs) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || usage; jobs=$2; shift ;;
        --no-baseline) baseline=0 ;;
        -h | --help) usage ;;
        -*) usage ;;
        *) wanted+=("$1") ;;
    esac
    shift
done

# ---- The list

ids=() files=() finds=() replaces=() targets=() patterns=() guards=() whats=()

read_list() {
    local line key value n=-1 lineno=0
    while IFS= read -r line || [[ -n $line ]]; do
        lineno=$((lineno + 1))
        [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
        [[ $line == *:* ]] || die "$list_file:$lineno: not 'key: value': $line"
        key=${line%%:*}
        value=${line#*:}
        value=${value#"${value%%[![:space:]]*}"}
        if [[ $key == id ]]; then
            n=$((n + 1))
            ids[n]=$value files[n]="" finds[n]="" replaces[n]="" targets[n]="" patterns[n]="" guards[n]="" whats[n]=""
            continue
        fi
        ((n >= 0)) || die "$list_file:$lineno: '$key' before the first id"
        case $key in
            file) files[n]=$value ;;
            find) finds[n]=$value ;;
            replace) replaces[n]=$value ;;
            build) targets[n]=$value ;;
            tests) patterns[n]=$value ;;
            data) guards[n]=$value ;;
            what) whats[n]=$value ;;
            *) die "$list_file:$lineno: unknown key '$key'" ;;
        esac
    done <"$list_file"
    local i j
    for i in "${!ids[@]}"; do
        [[ -n ${files[i]} && -n ${finds[i]} && -n ${targets[i]} && -n ${patterns[i]} ]] ||
            die "$list_file: ${ids[i]} needs a file, a find text, build targets and a tests pattern"
        for ((j = 0; j < i; j++)); do
            [[ ${ids[j]} != "${ids[i]}" ]] || die "$list_file: two faults are named ${ids[i]}"
        done
    done
}

# How often text $1 occurs in file $2.
occurrences() {
    local rest n=0
    [[ -f $2 ]] || { echo 0; return; }
    rest=$(<"$2")
    while [[ $rest == *"$1"* ]]; do
        rest=${rest#*"$1"}
        n=$((n + 1))
    done
    echo "$n"
}

# Replaces the one occurrence of text $2 in file $1 by $3, keeping every other byte.
replace_once() {
    local content
    content=$(cat -- "$1" && printf x)
    content=${content%x}
    printf '%s' "${content/"$2"/"$3"}" >"$1"
}

read_list

selected=()
if ((${#wanted[@]})); then
    for id in "${wanted[@]}"; do
        found=-1
        for i in "${!ids[@]}"; do [[ ${ids[i]} == "$id" ]] && found=$i; done
        ((found >= 0)) || die "no fault named $id (scripts/mutants.sh --list)"
        selected+=("$found")
    done
else
    selected=("${!ids[@]}")
fi

if ((list_only)); then
    for i in "${selected[@]}"; do
        state="ok"
        [[ $(occurrences "${finds[i]}" "$root/${files[i]}") == 1 ]] || state="STALE"
        printf '%-5s %-42s %-44s %s\n' "$state" "${ids[i]}" "${files[i]}" "${whats[i]}"
    done
    exit 0
fi

# ---- The copy of the tree

# Brings the copy up to date with the tree (tracked files and new ones git does not ignore).
# Only files whose bytes differ are copied, so that the build redoes only what changed.
sync_tree() {
    local f
    local -A present=()
    mkdir -p "$tree"
    while IFS= read -r -d '' f; do
        [[ -f $root/$f ]] || continue
        present[$f]=1
        if ! cmp -s -- "$root/$f" "$tree/$f"; then
            mkdir -p -- "$(dirname -- "$tree/$f")"
            cp --preserve=mode -- "$root/$f" "$tree/$f"
        fi
    done < <(git -C "$root" ls-files -z --cached --others --exclude-standard)
    while IFS= read -r -d '' f; do
        f=${f#"$tree"/}
        [[ -n ${present[$f]:-} ]] || rm -f -- "${tree:?}/$f"
    done < <(find "$tree" -path "$build" -prune -o -type f -print0)
}

# The file of the copy that holds a fault now, and the tests running; on any exit, Ctrl-C
# included, the tests are stopped and the file is put back.
faulty=""
child=""
put_back() {
    if [[ -n $faulty ]]; then
        cp -- "$work/original" "$tree/$faulty"
        faulty=""
    fi
}
clean_up() {
    if [[ -n $child ]]; then
        kill -TERM "$child" 2>/dev/null || true
        wait "$child" 2>/dev/null || true
    fi
    put_back
}
trap clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

build_targets() { # log target...
    local log=$1
    shift
    cmake --build "$build" -j"$jobs" --target "$@" >"$log" 2>&1
}

# Runs ctest with the given arguments, its output in log $1; fails when a test failed.
# timeout runs it in a process group of its own, which a Ctrl-C at the terminal does not
# reach: clean_up stops it.
run_tests() {
    local log=$1 rc=0
    shift
    timeout --kill-after=30 "$timeout_s" \
        ctest --test-dir "$build" -j"$jobs" --no-tests=error --output-on-failure "$@" >"$log" 2>&1 &
    child=$!
    wait "$child" || rc=$?
    child=""
    return "$rc"
}

# The tests that failed, as ctest lists them at the end.
failed_tests() {
    grep -E '^[[:space:]]+[0-9]+ - ' "$1" | sed -E 's/^[[:space:]]+[0-9]+ - //' | head -n 3 | paste -sd ';' - || true
}

mkdir -p "$logs"
started=$SECONDS
echo "== the copy of the tree in ${work#"$root"/}/tree"
sync_tree
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUMBRAWASH_BENCH=OFF \
        >"$logs/configure.log" 2>&1 || die "cannot configure; see $logs/configure.log"
fi

if ((baseline)); then
    all_targets=()
    for i in "${selected[@]}"; do
        read -ra t <<<"${targets[i]}"
        all_targets+=("${t[@]}")
    done
    mapfile -t all_targets < <(printf '%s\n' "${all_targets[@]}" | sort -u)
    echo "== the tests without faults (${all_targets[*]})"
    build_targets "$logs/baseline-build.log" "${all_targets[@]}" ||
        die "the tree does not build; see $logs/baseline-build.log"
    # The union of the patterns, by test number (ctest's expressions allow few groups).
    numbers=()
    for i in "${selected[@]}"; do
        mapfile -t found < <(ctest --test-dir "$build" -N -R "${patterns[i]}" | sed -nE 's/^ *Test +#([0-9]+):.*/\1/p')
        ((${#found[@]})) || die "${ids[i]}: no test matches ${patterns[i]}"
        numbers+=("${found[@]}")
    done
    mapfile -t numbers < <(printf '%s\n' "${numbers[@]}" | sort -nu)
    run_tests "$logs/baseline-tests.log" -I "0,0,0,$(printf '%s\n' "${numbers[@]}" | paste -sd, -)" ||
        die "tests fail without any fault, so no fault can be measured: $(failed_tests "$logs/baseline-tests.log")" \
            "(see $logs/baseline-tests.log)"
    echo "   $(grep -Eo 'tests passed, [0-9]+ tests failed out of [0-9]+' "$logs/baseline-tests.log" | tail -n 1)"
fi

# ---- The faults

results=()
caught=0 missed_data=()
total=${#selected[@]}
echo "== $total fault$( ((total == 1)) || echo s)"
k=0
for i in "${selected[@]}"; do
    k=$((k + 1))
    id=${ids[i]} file=${files[i]} log=$logs/${ids[i]}.log
    t0=$SECONDS
    detail=""
    : >"$log"
    if [[ $(occurrences "${finds[i]}" "$tree/$file") != 1 ]]; then
        status=STALE
        detail="the text is not found once in $file"
    else
        cp -- "$tree/$file" "$work/original"
        faulty=$file
        replace_once "$tree/$file" "${finds[i]}" "${replaces[i]}"
        read -ra t <<<"${targets[i]}"
        if ! build_targets "$log.build" "${t[@]}"; then
            status=NOBUILD
            detail="does not compile (see $log.build)"
        elif run_tests "$log" -R "${patterns[i]}" --stop-on-failure; then
            status=missed
        else
            rc=$?
            if ((rc == 124 || rc == 137)); then
                status=caught
                detail="hang: the tests ran past ${timeout_s} s"
            elif grep -q 'No tests were found' "$log"; then
                status=NOTESTS
                detail="no test matches ${patterns[i]}"
            else
                status=caught
                detail=$(failed_tests "$log")
                grep -q '(Timeout)' "$log" && detail="hang: $detail"
            fi
        fi
        put_back
    fi
    [[ $status == caught ]] && caught=$((caught + 1))
    if [[ $status != caught && ${guards[i]} == yes ]]; then missed_data+=("$id"); fi
    line=$(printf '%-7s %-42s %4ds  %s' "$status" "$id" $((SECONDS - t0)) "${detail:-${whats[i]}}")
    results+=("$line")
    printf '[%2d/%d] %s\n' "$k" "$total" "$line"
done

# ---- The score

{
    echo "== results ($(date -u '+%Y-%m-%d %H:%M UTC'), $(git -C "$root" describe --always --dirty))"
    printf '%s\n' "${results[@]}"
    echo "score: $caught of $total caught ($((100 * caught / total)) %) in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
} | tee "$work/results.txt"
if ((${#missed_data[@]})); then
    echo "not caught, though they put users' data at risk: ${missed_data[*]}" | tee -a "$work/results.txt"
    exit 1
fi
