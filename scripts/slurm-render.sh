#!/usr/bin/env bash
# Renders clips on a Slurm cluster: each clip is cut into segments, a job array renders one
# segment a task with `umbrawash render --segment K/N`, and a join job that waits for the
# whole array joins the pieces with `umbrawash join`. See --help.
set -euo pipefail

usage() {
    cat <<'EOF'
usage: slurm-render.sh [options] INPUT OUTPUT [-- RENDER OPTIONS]
       slurm-render.sh [options] --out-dir DIR INPUT... [-- RENDER OPTIONS]

Submits the render of each clip to Slurm: a job array with one task per segment, each
task rendering its segment with `umbrawash render INPUT PIECE --segment K/N`, and a join
job that starts once every task has succeeded and joins the pieces into OUTPUT without
re-encoding. Each clip gets its own array and join, so a clip is done as soon as its own
segments are, and a failed segment holds up only its own clip.

All paths must be on a folder that every node shares. The pieces go to a folder
OUTPUT.pieces beside OUTPUT (or in --pieces-dir), with the Slurm logs in its log/ folder;
after a successful join the pieces are removed and the logs kept. Segments render with the
saved configuration as it was when the clip was first submitted (a copy in that folder).

Running the same command again finishes what is not done: clips whose OUTPUT exists are
skipped, and of the others every segment's task keeps a complete piece of the same render
and renders only the missing ones (and those of other options) before the join. A task
that fails or is killed leaves no piece, and its clip's join is cancelled.

  --segments N       segments per clip (default 8), at most its frames; each is one
                     task and one process
  --out-dir DIR      render each INPUT to DIR/NAME.EXT, NAME being INPUT's name
                     without its extension
  --ext EXT          the outputs' extension with --out-dir (default mp4, mkv with
                     --lossless)
  --pieces-dir DIR   where the clips' pieces folders go (default: beside each OUTPUT),
                     such as a scratch file system
  --keep-pieces      keep the pieces after the join
  --umbrawash PATH   the umbrawash command on the nodes (default: umbrawash as found on
                     PATH here)
  --partition NAME   the Slurm partition (sbatch --partition)
  --sbatch ARG       one more argument for every sbatch call; repeat for more, such as
                     --sbatch --time=1:00:00 --sbatch --account=video
  --help             this text

RENDER OPTIONS go to every segment's `umbrawash render` as they are (see
`umbrawash render --help`): --start, --frames, --fade-in, --fade-out, --size, --lossless,
--crf, ...; all segments of a clip are rendered as part of the whole clip. Without --codec
or --lossless, they are encoded as OUTPUT's container has it by default (VP9 for .webm).

Prints, for each clip, its jobs and where its output will appear.

examples:
  slurm-render.sh --segments 32 film.mp4 film-inverted.mp4 -- --fade-in 48 --fade-out 48
  slurm-render.sh --segments 4 --out-dir /shared/done --partition video /shared/clips/*.mov
  slurm-render.sh --segments 16 master.mkv exact.mkv -- --lossless
EOF
}

die() {
    echo "slurm-render: $*" >&2
    exit 1
}

bad_usage() {
    echo "slurm-render: $*" >&2
    echo "slurm-render: see slurm-render.sh --help" >&2
    exit 2
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
task_script=$here/slurm-render-task.sh

segments=8
out_dir=""
ext=""
pieces_root=""
keep_pieces=0
umbrawash=""
sbatch_args=()
positional=()
render_args=()

# Options take their value as the next argument or after '='.
while (($#)); do
    arg=$1
    shift
    value=""
    case "$arg" in
        --*=*) value=${arg#*=}; arg=${arg%%=*} ;;
        --segments | --out-dir | --ext | --pieces-dir | --umbrawash | --partition | --sbatch)
            (($#)) || bad_usage "$arg needs a value"
            value=$1
            shift
            ;;
    esac
    case "$arg" in
        --help) usage; exit 0 ;;
        --segments) segments=$value ;;
        --out-dir) out_dir=$value ;;
        --ext) ext=$value ;;
        --pieces-dir) pieces_root=$value ;;
        --keep-pieces) keep_pieces=1 ;;
        --umbrawash) umbrawash=$value ;;
        --partition) sbatch_args+=("--partition=$value") ;;
        --sbatch) sbatch_args+=("$value") ;;
        --) render_args=("$@"); break ;;
        -*) bad_usage "unknown option $arg" ;;
        *) positional+=("$arg") ;;
    esac
done

if ! [[ "$segments" =~ ^[1-9][0-9]{0,5}$ ]]; then
    bad_usage "--segments needs a whole number from 1, not '$segments'"
fi
lossless=0
codec_given=0
for arg in "${render_args[@]}"; do
    case "$arg" in
        --segment | --segment=* | --jobs | --jobs=*) bad_usage "$arg is set here, per task: leave it out" ;;
        --lossless) lossless=1 codec_given=1 ;;
        --codec | --codec=*) codec_given=1 ;;
    esac
done

# The pieces are Matroska files, whose encoder by default is H.264; an output whose container
# has another default (see the table of `umbrawash render --help`) gets its pieces encoded
# with that one, so that the joined file is what a render to it in one process would be.
# Prints the encoder for an extension ("" for H.264), or fails for one umbrawash does not
# write a video to.
default_codec() {
    case "${1,,}" in
        mp4 | mov | mkv) echo "" ;;
        webm) echo libvpx-vp9 ;;
        avi) echo mpeg4 ;;
        mxf) echo mpeg2video ;;
        nut) echo ffv1 ;;
        *) return 1 ;;
    esac
}

inputs=()
outputs=()
if [ -n "$out_dir" ]; then
    ((${#positional[@]})) || bad_usage "--out-dir needs at least one INPUT"
    [ -d "$out_dir" ] || die "no such folder: $out_dir"
    if [ -z "$ext" ]; then
        ext=mp4
        ((lossless == 0)) || ext=mkv
    fi
    [[ "$ext" =~ ^[A-Za-z0-9]+$ ]] || bad_usage "--ext needs an extension such as mp4, not '$ext'"
    for input in "${positional[@]}"; do
        name=$(basename -- "$input")
        inputs+=("$input")
        outputs+=("$out_dir/${name%.*}.$ext")
    done
else
    [ -z "$ext" ] || bad_usage "--ext goes with --out-dir"
    ((${#positional[@]} == 2)) || bad_usage "give INPUT and OUTPUT, or --out-dir DIR and the INPUTs"
    inputs=("${positional[0]}")
    outputs=("${positional[1]}")
fi

if [ -z "$umbrawash" ]; then
    umbrawash=$(command -v umbrawash) ||
        die "umbrawash is not on PATH here: install it on every node, or give --umbrawash PATH"
elif [ -e "$umbrawash" ]; then
    umbrawash=$(realpath -- "$umbrawash")
fi
command -v sbatch >/dev/null || die "sbatch is not on PATH: run this where Slurm jobs are submitted"
[ -z "$pieces_root" ] || [ -d "$pieces_root" ] || die "no such folder: $pieces_root"

# Every path is made absolute here: the tasks run elsewhere, in other folders.
declare -A seen_output=()
for i in "${!inputs[@]}"; do
    # An image sequence (in_%04d.png) is checked by its folder.
    if [[ "${inputs[$i]}" == *%* ]]; then
        [ -d "$(dirname -- "${inputs[$i]}")" ] || die "no such folder for the input: ${inputs[$i]}"
    else
        [ -f "${inputs[$i]}" ] || die "no such input file: ${inputs[$i]}"
    fi
    inputs[i]=$(realpath -m -- "${inputs[$i]}")
    out_folder=$(dirname -- "${outputs[$i]}")
    [ -d "$out_folder" ] || die "no such folder for the output: $out_folder"
    outputs[i]=$(realpath -m -- "${outputs[$i]}")
    out_ext=${outputs[$i]##*.}
    [[ "${outputs[$i]}" == *.* && "$out_ext" =~ ^[A-Za-z0-9]+$ ]] ||
        die "the output needs an extension such as .mp4 or .mkv: ${outputs[$i]}"
    default_codec "$out_ext" >/dev/null ||
        die "pieces join into a video file (.mp4 .mov .mkv .webm .avi .mxf .nut), not into ${outputs[$i]}"
    [ "${outputs[$i]}" != "${inputs[$i]}" ] || die "the output would replace its input: ${inputs[$i]}"
    [ -z "${seen_output[${outputs[$i]}]:-}" ] ||
        die "${seen_output[${outputs[$i]}]} and ${inputs[$i]} would both render to ${outputs[$i]}"
    seen_output[${outputs[$i]}]=${inputs[$i]}
done

# The saved configuration, where umbrawash keeps it: $XDG_CONFIG_HOME when that is an
# absolute path, else ~/.config.
config_home=${XDG_CONFIG_HOME:-}
[[ "$config_home" == /* ]] || config_home=${HOME:-}/.config
saved_settings=$config_home/zorlt-Prefs

# The number of the job that sbatch --parsable printed ("ID" or "ID;CLUSTER").
submit() {
    local out
    out=$(sbatch --parsable "${sbatch_args[@]}" "$@") || return 1
    echo "${out%%;*}"
}

# Prints the numbers of those of the given jobs that Slurm still has queued or running.
jobs_in_flight() {
    local id state
    for id in "$@"; do
        state=$(squeue -h -o %T -j "$id" 2>/dev/null) || continue
        [ -z "$state" ] || echo "$id"
    done
}

# Submits one clip's segments and its join, and prints what it did; returns 1 when the clip
# cannot be submitted. (Called in an || list, where set -e does not hold: every step that
# can fail is checked.)
submit_clip() {
    local input=$1 output=$2
    local name dir width piece_name array_id join_id earlier in_flight codec
    local options=("${render_args[@]}")
    name=$(basename -- "$output")
    codec=$(default_codec "${output##*.}")
    ((codec_given)) || [ -z "$codec" ] || options+=(--codec "$codec")
    dir=${pieces_root:+$(realpath -- "$pieces_root")/$name.pieces}
    dir=${dir:-$output.pieces}
    if [ -e "$output" ]; then
        echo "$name: done already: $output (remove it to render it again)"
        return 0
    fi
    width=${#segments}
    ((width >= 3)) || width=3
    piece_name="segment-%0${width}d-of-$segments.mkv"

    # A pieces folder belongs to one output (with --pieces-dir, two outputs of one name
    # would otherwise share it). It keeps a copy of the saved configuration as it was at the
    # first submission: every segment renders with that one, whatever the nodes' home
    # folders hold or the user saves meanwhile, so that a rerun finishes the same render.
    if [ -f "$dir/output" ]; then
        if [ "$(cat -- "$dir/output")" != "$output" ]; then
            echo "slurm-render: $dir holds the pieces of $(cat -- "$dir/output"), not of $output: choose another --pieces-dir" >&2
            return 1
        fi
    else
        if ! mkdir -p -- "$dir/log" "$dir/settings" ||
            { [ -f "$saved_settings" ] && ! cp -- "$saved_settings" "$dir/settings/"; } ||
            ! printf '%s\n' "$output" >"$dir/output"; then
            echo "slurm-render: $name: cannot set up the pieces folder $dir" >&2
            return 1
        fi
    fi
    if [ -f "$dir/jobs" ]; then
        mapfile -t earlier <"$dir/jobs"
        mapfile -t in_flight < <(jobs_in_flight "${earlier[@]}")
        if ((${#in_flight[@]})); then
            echo "$name: still queued or running as job ${in_flight[*]}: left alone"
            return 0
        fi
    fi

    # Every segment gets its task, also on a rerun: `umbrawash render --segment` keeps a
    # complete piece of the same render as it is and renders the others.
    # Slurm reads % in log names as a pattern: %% is a plain %.
    local common=(--job-name="umbrawash:$name") logs=${dir//%/%%}/log
    array_id=$(submit "${common[@]}" --array="1-$segments" --output="$logs/segment-%a.log" \
        "$task_script" segment "$umbrawash" "$input" "$dir" "$piece_name" "$segments" \
        "${options[@]}") || { echo "slurm-render: $name: sbatch refused the segments' job array" >&2; return 1; }
    if ! join_id=$(submit "${common[@]}" --dependency="afterok:$array_id" --kill-on-invalid-dep=yes \
        --output="$logs/join.log" \
        "$task_script" join "$umbrawash" "$dir" "$piece_name" "$segments" "$output" "$keep_pieces"); then
        scancel "$array_id" || true
        echo "slurm-render: $name: sbatch refused the join job" >&2
        return 1
    fi
    printf '%s\n' "$array_id" "$join_id" >"$dir/jobs" ||
        echo "slurm-render: $name: cannot write $dir/jobs; a rerun will not know these jobs" >&2

    echo "$name: $segments segments as job array $array_id (complete pieces are kept), join as job $join_id"
    echo "  output: $output"
    echo "  pieces and logs: $dir"
}

failed=0
for i in "${!inputs[@]}"; do
    submit_clip "${inputs[$i]}" "${outputs[$i]}" || failed=$((failed + 1))
done
((failed == 0)) || die "$failed of ${#inputs[@]} clips not submitted"
