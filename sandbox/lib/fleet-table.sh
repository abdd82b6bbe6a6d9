# The fleet's table: one row per model from what its run left in DIR/NAME
# (model_row, lib/fleet.sh), as text (colored verdicts on a terminal or
# with --color=always) or as JSON (--json), and the fleet's exit status.

json_string() { # TEXT: as a JSON string
	local t=${1//\\/\\\\}
	t=${t//\"/\\\"}
	t=${t//$'\t'/\\t}
	printf '"%s"' "$t"
}

# The rows of the models that have a run in DIR, in the order of NAMES.
fleet_rows() { # DIR NAME...
	local dir=$1 n
	rows=()
	shift
	for n; do
		[[ -f $dir/$n/status ]] || continue
		model_row "$dir" "$n"
		rows+=("$name"$'\t'"$driver"$'\t'"$size_written"$'\t'"$start"$'\t'"$hdio"$'\t'"$p1"$'\t'"$asked"$'\t'"$landed"$'\t'"$fsck"$'\t'"$biosgeo"$'\t'"$verdict"$'\t'"$reason"$'\t'"${seconds:--}")
	done
}

fleet_print() { # the rows, as text or JSON
	local -a head=(MODEL DRIVER DISK START HDIO_GETGEO PARTITION1 ASKED LANDED FSCK BIOS VERDICT REASON SECONDS)
	local -a keys=(model driver disk start hdio_getgeo partition1 asked landed fsck bios verdict reason seconds)
	local -a width f
	local r i line on='' off='' paint=0
	if ((json)); then
		echo '{"fleet": ['
		for ((r = 0; r < ${#rows[@]}; r++)); do
			IFS=$'\t' read -ra f <<<"${rows[r]}"
			line=''
			for i in "${!keys[@]}"; do line+="${line:+, }\"${keys[i]}\": $(json_string "${f[i]}")"; done
			echo "   {$line}$( ((r + 1 < ${#rows[@]})) && echo ,)"
		done
		echo ']}'
		return
	fi
	[[ $color == always || ($color == auto && -t 1) ]] && paint=1
	for i in "${!head[@]}"; do width[i]=${#head[i]}; done
	for line in "${rows[@]}"; do
		IFS=$'\t' read -ra f <<<"$line"
		for i in "${!head[@]}"; do ((${#f[i]} <= width[i])) || width[i]=${#f[i]}; done
	done
	for line in "$(printf '%s\t' "${head[@]}")" "${rows[@]}"; do
		IFS=$'\t' read -ra f <<<"$line"
		for i in "${!head[@]}"; do
			on='' off=''
			if ((paint && i == 10)); then
				case ${f[i]} in booted) on=$'\e[32m' ;; "did not boot") on=$'\e[31m' ;; "could not run") on=$'\e[33m' ;; esac
				[[ -z $on ]] || off=$'\e[0m'
			fi
			if ((i + 1 < ${#head[@]})); then
				printf '%s%-*s%s ' "$on" "${width[i]}" "${f[i]}" "$off"
			else
				printf '%s%s%s\n' "$on" "${f[i]}" "$off"
			fi
		done
	done
}

# 0 when every model booted (with --boot) or every table landed, else 1.
fleet_status() {
	local line
	local -a f
	for line in "${rows[@]}"; do
		IFS=$'\t' read -ra f <<<"$line"
		if ((want_boot)); then [[ ${f[10]} == booted ]] || return 1; else [[ ${f[7]} == yes ]] || return 1; fi
	done
	return 0
}
