#!/usr/bin/env bash
# make-sounds.sh DIR: makes the device's sound clips in DIR. Tones are made
# with sox, spoken prompts with espeak-ng in Japanese, English and Korean
# ("_j", "_e", "_k"). Every clip is a canonical 44-byte-header WAV, 16-bit
# mono at 16 kHz, the form the player and the clip-length reader expect.
set -euo pipefail
out=$1
mkdir -p "$out"
format=(-r 16000 -c 1 -b 16 -e signed-integer)

tone() { # name, then sox synth arguments
    local name=$1
    shift
    sox -n "${format[@]}" "$out/$name.wav" "$@"
}

tone S_button synth 0.08 sine 1800 fade 0 0.08 0.02 vol 0.6
tone S_eventrec synth 0.15 sine 1200 pad 0 0.08 repeat 2 vol 0.7
tone S_power_on synth 0.6 sine 600-1600 fade 0 0.6 0.1 vol 0.6
tone S_power_off synth 0.6 sine 1600-600 fade 0 0.6 0.1 vol 0.6
tone S_system_error synth 0.12 square 880 pad 0 0.06 repeat 2 vol 0.4
tone fcws_warning synth 0.1 square 2000 pad 0 0.05 repeat 4 vol 0.5
# The factory test's speaker-to-microphone tone and the calibration's done signal.
tone tone440hz synth 3 sine 440 vol 0.8
tone S_calib_done synth 0.15 sine 1000 pad 0 0.05 repeat 1 vol 0.6

# name|English|Japanese|Korean
prompts=(
    "V_change_storage|Please change the storage.|保存先を変更してください。|저장 장치를 변경해 주세요."
    "V_copy_begins|Copy begins.|コピーを開始します。|복사를 시작합니다."
    "V_copy_ends|Copy ends.|コピーが終わりました。|복사가 끝났습니다."
    "V_format_begins|Format begins.|フォーマットを開始します。|포맷을 시작합니다."
    "V_format_ends|Format ends.|フォーマットが終わりました。|포맷이 끝났습니다."
    "V_gps_lock|GPS is connected.|GPSを受信しました。|GPS가 연결되었습니다."
    "V_insert_sd|Please insert an SD card.|SDカードを入れてください。|SD 카드를 넣어 주세요."
    "V_manual_recording_begins|Manual recording begins.|手動録画を開始します。|수동 녹화를 시작합니다."
    "V_mic_off|Microphone off.|マイクをオフにしました。|마이크를 껐습니다."
    "V_mic_on|Microphone on.|マイクをオンにしました。|마이크를 켰습니다."
    "V_parking_mode|Parking mode begins.|駐車モードを開始します。|주차 모드를 시작합니다."
    "V_recording_begins|Recording begins.|録画を開始します。|녹화를 시작합니다."
    "V_recording_ends|Recording ends.|録画を終了します。|녹화를 종료합니다."
    "V_voice_off|Voice guidance off.|音声案内をオフにしました。|음성 안내를 껐습니다."
    "V_voice_on|Voice guidance on.|音声案内をオンにしました。|음성 안내를 켰습니다."
    "V_change_sd_card|Please change the SD card.|SDカードを交換してください。|SD 카드를 교체해 주세요."
    "V_connect_usb|USB memory connected.|USBメモリーが接続されました。|USB 메모리가 연결되었습니다."
    "V_disconnect_usb|USB memory disconnected.|USBメモリーが外されました。|USB 메모리가 분리되었습니다."
    "V_connect_sd|SD card connected.|SDカードが接続されました。|SD 카드가 연결되었습니다."
    "V_disconnect_sd|SD card disconnected.|SDカードが外されました。|SD 카드가 분리되었습니다."
)

spoken=$(mktemp)
trap 'rm -f "$spoken"' EXIT
for row in "${prompts[@]}"; do
    IFS='|' read -r name english japanese korean <<<"$row"
    for pair in "e:en-us:$english" "j:ja:$japanese" "k:ko:$korean"; do
        IFS=':' read -r suffix voice text <<<"$pair"
        espeak-ng -v "$voice" -s 150 -w "$spoken" "$text"
        sox --norm=-1 "$spoken" "${format[@]}" "$out/${name}_$suffix.wav"
    done
done

# Speed-camera prompts: Korean only, no language suffix.
tone R_alarm synth 0.12 square 1500 pad 0 0.05 repeat 3 vol 0.5
tone R_dingdong synth 0.5 sine 1318-1046 fade 0 0.5 0.2 vol 0.6
tone R_release synth 0.3 sine 1046-1318 fade 0 0.3 0.1 vol 0.6
camera_prompts=(
    "R_01_SP_01_8|전방에 과속 단속 구간입니다."
    "R_01_SP_02_8|구간 단속이 시작됩니다."
    "R_01_SP_03_8|구간 단속이 종료됩니다."
    "R_01_SP_04_8|전방에 신호 단속 구간입니다."
    "R_01_SP_05_8|전방에 버스 전용 차로 및 과속 단속 구간입니다."
    "R_01_SP_06_8|전방에 이동식 단속 구간입니다."
    "R_01_SP_07_8|전방에 이동식 거치함 단속 구간입니다."
    "R_01_SP_08_8|전방에 주차 단속 구간입니다."
    "R_01_SP_09_8|전방에 버스 전용 차로 단속 구간입니다."
    "R_01_SP_15_8|전방에 끼어들기 단속 구간입니다."
    "R_01_SP_17_8|전방에 이동식 단속 출몰 지역입니다."
    "R_01_SP_18_8|전방에 지정 차로 단속 구간입니다."
)
for limit in 10 20 30 40 50 60 70 80 90 100 110 120; do
    camera_prompts+=("$(printf 'R_02_%03d_%02d' "$limit" $((limit / 10)))|제한 속도 $limit 킬로미터입니다.")
done
for row in "${camera_prompts[@]}"; do
    IFS='|' read -r name korean <<<"$row"
    espeak-ng -v ko -s 150 -w "$spoken" "$korean"
    sox --norm=-1 "$spoken" "${format[@]}" "$out/$name.wav"
done
